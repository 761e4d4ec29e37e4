// The main window's menus, its texts in the current language and real-time help.

#include "ui/window/mainwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHelpEvent>
#include <QMenuBar>
#include <QPalette>
#include <QToolTip>
#include <QUrl>

#include "lang/langlist.h"
#include "support/version.h"
#include "ui/common/uitext.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/serialbar.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/sendpane.h"
#include "ui/window/aboutwindow.h"
#include "ui/window/commandbuttons.h"

namespace m845 {

namespace {

using detail::Lang;

// The balloon look: dark text on the highlight-text colour, in a small Tahoma.
void StyleHints()
{
    QPalette palette = QToolTip::palette();
    const QPalette system = QApplication::palette();
    palette.setColor(QPalette::ToolTipBase, system.color(QPalette::HighlightedText));
    palette.setColor(QPalette::ToolTipText, system.color(QPalette::ToolTipText));
    QToolTip::setPalette(palette);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    QToolTip::setFont(font);
}

} // namespace

void TFrm_Main::BuildMenus()
{
    OpenUrl = [](const QUrl &url) {
        QDesktopServices::openUrl(url);
    };
    ShowHint = [](const QPoint &globalPos, const QString &text, QWidget *widget, int msec) {
        QToolTip::showText(globalPos, text, widget, QRect(), msec);
    };
    StyleHints();

    QMenuBar *mm1 = menuBar();
    mm1->setObjectName(QStringLiteral("mm1"));
    auto item = [this](QMenu *menu, const char *name) {
        QAction *action = menu->addAction(QString());
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this,
                [this, action] { mni_MenuClick(action->objectName()); });
        return action;
    };
    auto submenu = [mm1](const char *name) {
        QMenu *menu = mm1->addMenu(QString());
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    m_mniFile = submenu("mni_File");
    m_mniExit = item(m_mniFile, "mni_Exit");
    m_mniLang = submenu("mni_Lang");
    auto *langGroup = new QActionGroup(m_mniLang);
    m_mniCn = item(m_mniLang, "mni_Cn");
    m_mniEn = item(m_mniLang, "mni_En");
    for (QAction *a : {m_mniCn, m_mniEn}) {
        a->setCheckable(true);
        langGroup->addAction(a);
    }
    // Built whole but never shown: nothing makes the Help menu visible.
    m_mniHelp = submenu("mni_Help");
    m_mniHelp->menuAction()->setVisible(false);
    m_mniAbout = item(m_mniHelp, "mni_About");
    m_mniHint = item(m_mniHelp, "mni_Hint");
    m_mniHint->setCheckable(true);
    m_mniHint->setChecked(true);
    m_mniUp = item(m_mniHelp, "mni_Up");
    m_mniWorkOrder = item(m_mniHelp, "mni_WorkOrder");

    m_pmFwUpOpt = new QMenu(this);
    m_pmFwUpOpt->setObjectName(QStringLiteral("pmFwUpOpt"));
    QAction *overRestart = m_pmFwUpOpt->addAction(QString());
    overRestart->setObjectName(QStringLiteral("mniOverRestart"));
    overRestart->setCheckable(true);
    overRestart->setChecked(true);
    QAction *dataStream = m_pmFwUpOpt->addAction(QString());
    dataStream->setObjectName(QStringLiteral("ShowDataStream"));
    dataStream->setCheckable(true);
    qApp->installEventFilter(this);
}

void TFrm_Main::ApplyPartTexts()
{
    for (const TTextStep step :
         {TTextStep::WorkMode, TTextStep::Captions, TTextStep::ComboItems, TTextStep::Hints})
        emit ApplyingTexts(step);
}

void TFrm_Main::ApplyMenuTexts()
{
    SetCaptionByKey(m_mniFile, "lang_Menu_File");
    SetCaptionByKey(m_mniExit, "lang_Menu_Quit");
    SetCaptionByKey(m_mniLang, "lang_Menu_Lang");
    SetCaptionByKey(m_mniCn, "lang_Menu_Cn");
    SetCaptionByKey(m_mniEn, "lang_Menu_En");
    SetCaptionByKey(m_mniHelp, "lang_Menu_Help");
    SetCaptionByKey(m_mniAbout, "lang_Menu_About");
    SetCaptionByKey(m_mniHint, "lang_Menu_Hint");
    SetCaptionByKey(m_mniUp, "lang_Menu_Version");
    SetCaptionByKey(m_mniWorkOrder, "lang_Menu_WorkOrder");
}

void TFrm_Main::ApplyMainTexts()
{
    // The counter labels need no step of their own: each stretches in its bar's layout, which
    // follows every caption and size by itself, so the buttons after it end at the right edge.
    setWindowTitle(Lang("lang_Main_Title") + QStringLiteral(" V")
                   + QString::fromStdString(ProgramVersionText()));
    QGuiApplication::setApplicationDisplayName(Lang("lang_Main_AppTitle"));
    emit ApplyingTexts(TTextStep::WorkMode);
    ApplyMenuTexts();
    for (const char *key :
         {"info_Start0", "info_Start1", "info_Start2", "info_Start3", "info_Start4", "info_Start5"})
        m_log->LogInfo(LangText(key));

    m_serialBar->ApplyCaptions();
    m_serialBar->ShowButtonTag(m_link->ButtonTag());
    SetCaptionByKey(m_rzgrpbxDo, "lang_rzgrpbxDo");
    m_buttons->ApplyTexts();
    m_log->ApplyCaptions();
    m_send->ApplyCaptions();
    emit ApplyingTexts(TTextStep::Captions);

    emit ApplyingTexts(TTextStep::ComboItems);
    // Every application of texts returns sending to the serial port.
    m_send->pmSendTypeClick(kSendTypeSerial);

    m_send->ApplyPopupItems();
    SetPopupItemByKey(m_pmFwUpOpt, 0, "lang_pmFwUpOpt0");
    SetPopupItemByKey(m_pmFwUpOpt, 1, "lang_pmFwUpOpt1");

    m_serialBar->ApplyHints();
    emit ApplyingTexts(TTextStep::Hints);
}

void TFrm_Main::mni_MenuClick(const QString &name)
{
    if (name == QLatin1String("mni_Hint")) {
        // The checkable item has already toggled itself when triggered.
        SetRealTimeHelp(m_mniHint->isChecked());
    } else if (name == QLatin1String("mni_Exit")) {
        close();
    } else if (name == QLatin1String("mni_About")) {
        if (m_about == nullptr)
            return;
        if (m_about->isVisible()) {
            m_about->raise();
            m_about->activateWindow();
        } else {
            m_about->exec();
        }
    } else if (name == QLatin1String("mni_Cn") || name == QLatin1String("mni_En")) {
        // Applied again even when the language does not change. The user's own choice is the
        // one kept at close, whatever the command line said.
        m_languageOverride.reset();
        SetLanguage(name == QLatin1String("mni_Cn"));
        ApplyMainTexts();
    } else if (name == QLatin1String("mni_Up")) {
        OpenUrl(QUrl::fromUserInput(Lang("lang_Menu_DownUrl")));
    } else if (name == QLatin1String("mni_WorkOrder")) {
        OpenUrl(QUrl::fromUserInput(Lang("lang_Menu_WorkOrderUrl")));
    }
}

void TFrm_Main::SetLanguage(bool chinese)
{
    if (LangList() != nullptr)
        LangList()->IsChinese = chinese;
    (chinese ? m_mniCn : m_mniEn)->setChecked(true);
}

bool TFrm_Main::IsChinese() const
{
    return detail::IsChineseNow();
}

void TFrm_Main::SetRealTimeHelp(bool on)
{
    m_mniHint->setChecked(on);
    m_showHints = on;
    if (!on)
        QToolTip::hideText();
}

bool TFrm_Main::RealTimeHelp() const
{
    return m_showHints;
}

void TFrm_Main::SetCustom(bool custom)
{
    m_custom = custom;
    m_mniAbout->setVisible(true);
    m_mniUp->setVisible(!custom);
    m_mniWorkOrder->setVisible(!custom);
}

void TFrm_Main::SetSendKey(int tag)
{
    // Only the two send keys: the third item of the send-key menu toggles the automatic CR.
    if (tag != kSendKeyEnter && tag != kSendKeyCtrlEnter)
        return;
    // The chosen item's caption becomes the send button's hint, and at start-up the texts
    // have not been applied yet.
    m_send->ApplyPopupItems();
    m_send->pmSendClick(tag);
}

int TFrm_Main::SendKey() const
{
    return m_send->SendKeyTag();
}

bool TFrm_Main::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && HintEvent(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

bool TFrm_Main::HintEvent(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    QString hint = widget != nullptr ? widget->toolTip() : QString();
    // Real-time help off hides every hint of the program, but not what a control says about
    // its own state.
    if (!m_showHints) {
        hint = widget != nullptr ? widget->property(detail::kStateHintProperty).toString()
                                 : QString();
        if (hint.isEmpty())
            return true;
    }
    // A hint of our own stays for the hint pause; a widget without one leaves the event to its
    // parent, as Qt does.
    if (hint.isEmpty() || !ShowHint)
        return false;
    ShowHint(static_cast<QHelpEvent *>(event)->globalPos(), hint, widget, kHintPauseMs);
    return true;
}

} // namespace m845
