#include "ui/terminal/sendpane.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "lang/langlist.h"
#include "support/conversions.h"
#include "support/encoding.h"
#include "ui/common/textsetters.h"
#include "ui/common/uitext.h"

namespace m845 {

namespace {

constexpr const char *kOwnKeysProperty = "m845OwnKeys";

// Edit-like controls: the ones copy, paste, select-all and clear act on.
bool IsEditLike(const QWidget *w)
{
    return qobject_cast<const QLineEdit *>(w) != nullptr
           || qobject_cast<const QPlainTextEdit *>(w) != nullptr
           || qobject_cast<const QTextEdit *>(w) != nullptr;
}

void RunOnFocusedEdit(const char *slot)
{
    QWidget *focus = QApplication::focusWidget();
    if (focus != nullptr && IsEditLike(focus))
        QMetaObject::invokeMethod(focus, slot);
}

// The send box's text as the device gets it: lines joined by CR LF, in GBK.
std::string BoxBytes(const QPlainTextEdit *box)
{
    QString text = box->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return Utf8ToGbk(text.toStdString());
}

// A button that drops its menu down at once: the style draws the arrow over the caption's
// end unless the width leaves room for it.
class TDropDownButton final : public QToolButton
{
public:
    using QToolButton::QToolButton;
    [[nodiscard]] QSize sizeHint() const override
    {
        QSize hint = QToolButton::sizeHint();
        hint.rwidth() += style()->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, this);
        return hint;
    }
};

QToolButton *MakeToolButton(const QString &name, QWidget *parent, bool dropDown = false)
{
    QToolButton *b = dropDown ? new TDropDownButton(parent) : new QToolButton(parent);
    b->setObjectName(name);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    if (dropDown)
        b->setPopupMode(QToolButton::InstantPopup);
    return b;
}

} // namespace

QToolButton *MakeDropDownButton(const QString &name, QWidget *parent)
{
    return MakeToolButton(name, parent, true);
}

std::string WithAutoCR(std::string data)
{
    if (data.size() > 1 && (data[0] == 'A' || data[0] == 'a') && (data[1] == 'T' || data[1] == 't')
        && data.back() != '\n')
        data += "\r\n";
    return data;
}

TSendPane::TSendPane(QWidget *window, QWidget *parent)
    : QWidget(parent)
    , m_window(window)
{
    setObjectName(QStringLiteral("pnlSend"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    m_rztlbrSendTpye = new QWidget(this);
    m_rztlbrSendTpye->setObjectName(QStringLiteral("rztlbrSendTpye"));
    m_rztlbrSendTpye->setFixedHeight(29);
    auto *smsBar = new QHBoxLayout(m_rztlbrSendTpye);
    smsBar->setContentsMargins(4, 0, 4, 0);
    m_lblReTelNum = new QLabel(m_rztlbrSendTpye);
    m_lblReTelNum->setObjectName(QStringLiteral("lblReTelNum"));
    m_rzEdit1 = new QLineEdit(QStringLiteral("86"), m_rztlbrSendTpye);
    m_rzEdit1->setObjectName(QStringLiteral("RzEdit1"));
    m_rzEdit1->setAlignment(Qt::AlignRight);
    m_rzEdit1->setFixedWidth(40);
    m_rzEdit1->setAccessibleName(QStringLiteral("country code"));
    auto *rzLabel1 = new QLabel(QStringLiteral(" - "), m_rztlbrSendTpye);
    rzLabel1->setObjectName(QStringLiteral("RzLabel1"));
    m_edtReTelNum = new QLineEdit(m_rztlbrSendTpye);
    m_edtReTelNum->setObjectName(QStringLiteral("edtReTelNum"));
    m_edtReTelNum->setFixedWidth(120);
    m_edtReTelNum->setAccessibleName(QStringLiteral("phone number"));
    smsBar->addWidget(m_lblReTelNum);
    smsBar->addWidget(m_rzEdit1);
    smsBar->addWidget(rzLabel1);
    smsBar->addWidget(m_edtReTelNum);
    smsBar->addStretch(1);
    m_rztlbrSendTpye->hide();
    outer->addWidget(m_rztlbrSendTpye);

    m_edtSend = new QPlainTextEdit(this);
    m_edtSend->setObjectName(QStringLiteral("edtSend"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(16);
    m_edtSend->setFont(font);
    m_edtSend->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    outer->addWidget(m_edtSend, 1);

    auto *rztlbrSend = new QWidget(this);
    rztlbrSend->setObjectName(QStringLiteral("rztlbrSend"));
    rztlbrSend->setFixedHeight(29);
    auto *sendBar = new QHBoxLayout(rztlbrSend);
    sendBar->setContentsMargins(4, 0, 4, 0);
    m_btnSendTpye = MakeToolButton(QStringLiteral("btnSendTpye"), rztlbrSend, true);
    m_chbTxHex = new QCheckBox(QStringLiteral("Hex"), rztlbrSend);
    m_chbTxHex->setObjectName(QStringLiteral("chbTxHex"));
    m_lblSend = new QLabel(rztlbrSend);
    m_lblSend->setObjectName(QStringLiteral("lblSend"));
    m_lblSendCount = new QLabel(QStringLiteral("0"), rztlbrSend);
    m_lblSendCount->setObjectName(QStringLiteral("lblSendCount"));
    // The counter takes the width the bar leaves, hidden too (SMS sending), so the send
    // buttons end at the right edge whatever the send type.
    QSizePolicy fill(QSizePolicy::Expanding, QSizePolicy::Preferred);
    fill.setRetainSizeWhenHidden(true);
    m_lblSendCount->setSizePolicy(fill);
    m_btnSend = MakeToolButton(QStringLiteral("btnSend"), rztlbrSend);
    m_btnSend->setMinimumWidth(70);
    QFont bold = m_btnSend->font();
    bold.setBold(true);
    m_btnSend->setFont(bold);
    m_btnSetSendKey = MakeToolButton(QStringLiteral("btnSetSendKey"), rztlbrSend, true);
    m_btnSetSendKey->setText(QStringLiteral("Key"));
    sendBar->addWidget(m_btnSendTpye);
    sendBar->addSpacing(8);
    sendBar->addWidget(m_chbTxHex);
    sendBar->addSpacing(8);
    sendBar->addWidget(m_lblSend);
    sendBar->addWidget(m_lblSendCount);
    sendBar->addWidget(m_btnSend);
    sendBar->addWidget(m_btnSetSendKey);
    outer->addWidget(rztlbrSend);

    m_actSend = new QAction(this);
    m_actSend->setObjectName(QStringLiteral("actSend"));
    m_actCR = new QAction(this);
    m_actCR->setObjectName(QStringLiteral("actCR"));
    m_actCls = new QAction(this);
    m_actCls->setObjectName(QStringLiteral("actCls"));
    m_actCls->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    // The design state: Ctrl+Enter sends, Enter adds a line.
    m_actSend->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    m_actCR->setShortcut(QKeySequence(Qt::Key_Return));
    connect(m_actSend, &QAction::triggered, this, [this] { actSendExecute(); });
    connect(m_actCR, &QAction::triggered, this, [this] { actCRExecute(); });
    connect(m_actCls, &QAction::triggered, this, [this] { actClsExecute(); });
    connect(m_btnSend, &QToolButton::clicked, this, [this] { actSendExecute(); });

    m_pmSend = new QMenu(this);
    m_pmSend->setObjectName(QStringLiteral("pmSend"));
    auto *keyGroup = new QActionGroup(m_pmSend);
    m_mniEnter = m_pmSend->addAction(QString());
    m_mniEnter->setObjectName(QStringLiteral("mniEnter"));
    m_mniCtrlEnter = m_pmSend->addAction(QString());
    m_mniCtrlEnter->setObjectName(QStringLiteral("mniCtrlEnter"));
    for (QAction *a : {m_mniEnter, m_mniCtrlEnter}) {
        a->setCheckable(true);
        keyGroup->addAction(a);
    }
    m_mniCtrlEnter->setChecked(true);
    m_pmSend->addSeparator();
    m_mniAutoCR = m_pmSend->addAction(QString());
    m_mniAutoCR->setObjectName(QStringLiteral("mniAutoCR"));
    m_mniAutoCR->setCheckable(true);
    connect(m_mniEnter, &QAction::triggered, this, [this] { pmSendClick(kSendKeyEnter); });
    connect(m_mniCtrlEnter, &QAction::triggered, this, [this] { pmSendClick(kSendKeyCtrlEnter); });
    m_btnSetSendKey->setMenu(m_pmSend);

    m_pmSendType = new QMenu(this);
    m_pmSendType->setObjectName(QStringLiteral("pmSendType"));
    m_mniAtCmd = m_pmSendType->addAction(QString());
    m_mniAtCmd->setObjectName(QStringLiteral("mniAtCmd"));
    m_mniSms = m_pmSendType->addAction(QString());
    m_mniSms->setObjectName(QStringLiteral("mniSms"));
    connect(m_mniAtCmd, &QAction::triggered, this, [this] { pmSendTypeClick(kSendTypeSerial); });
    connect(m_mniSms, &QAction::triggered, this, [this] { pmSendTypeClick(kSendTypeSms); });
    m_btnSendTpye->setMenu(m_pmSendType);

    m_pmCls = new QMenu(this);
    m_pmCls->setObjectName(QStringLiteral("pmCls"));
    m_mniCopy = m_pmCls->addAction(QString(), this, [] { RunOnFocusedEdit("copy"); });
    m_mniCopy->setObjectName(QStringLiteral("mniCopy"));
    m_mniPst = m_pmCls->addAction(QString(), this, [] { RunOnFocusedEdit("paste"); });
    m_mniPst->setObjectName(QStringLiteral("mniPst"));
    m_mniAll = m_pmCls->addAction(QString(), this, [] { RunOnFocusedEdit("selectAll"); });
    m_mniAll->setObjectName(QStringLiteral("mniAll"));
    m_pmCls->addSeparator();
    m_mniCls = m_pmCls->addAction(QString(), this, [this] { actClsExecute(); });
    m_mniCls->setObjectName(QStringLiteral("mniCls"));
    AttachContextMenu(m_edtSend);

    connect(m_chbTxHex, &QCheckBox::clicked, this, [this] { chbTxHexClick(); });
    qApp->installEventFilter(this);
}

TSendPane::~TSendPane()
{
    qApp->removeEventFilter(this);
}

void TSendPane::AttachContextMenu(QWidget *edit)
{
    edit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(edit, &QWidget::customContextMenuRequested, this, [this, edit](const QPoint &pos) {
        m_contextTarget = edit;
        m_pmCls->popup(edit->mapToGlobal(pos));
    });
}

bool TSendPane::eventFilter(QObject *watched, QEvent *event)
{
    // The send keys act window-wide, also where an edit box would break the line at the caret.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (widget->window() != m_window || widget->property(kOwnKeysProperty).toBool())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    int code = key->key();
    if (code == Qt::Key_Enter)
        code = Qt::Key_Return;
    const QKeySequence pressed(QKeyCombination(mods, static_cast<Qt::Key>(code)));
    for (QAction *action : {m_actSend, m_actCR, m_actCls}) {
        if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
            action->trigger();
            return true;
        }
    }
    return false;
}

void TSendPane::actSendExecute()
{
    if (ClearOperationMode)
        ClearOperationMode();
    if (m_sendType == kSendTypeSerial) {
        std::string data = BoxBytes(m_edtSend);
        if (m_mniAutoCR->isChecked())
            data = WithAutoCR(std::move(data));
        const bool hex = m_chbTxHex->isChecked();
        std::string bytes;
        if (hex && !TryHexToText(data, bytes))
            return; // invalid hex: nothing sent, nothing said
        if (SendData)
            SendData(hex ? bytes : data);
        if (!data.empty())
            emit TextSent(m_edtSend->toPlainText(), hex);
    } else if (m_sendType == kSendTypeSms) {
        QString text = m_edtSend->toPlainText();
        const QString boxText = text;
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        if (SendSms)
            SendSms((m_rzEdit1->text() + m_edtReTelNum->text()).toStdString(), text.toStdString());
        if (!boxText.isEmpty())
            emit TextSent(boxText, false);
    }
}

bool TSendPane::SendCommand(const std::string &text, bool hex, bool crlf)
{
    QString lines = QString::fromStdString(text);
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    std::string data = Utf8ToGbk(lines.toStdString());
    if (hex) {
        std::string bytes;
        if (!TryHexToText(data, bytes))
            return false;
        data = std::move(bytes);
    }
    if (crlf)
        data += "\r\n";
    if (ClearOperationMode)
        ClearOperationMode();
    if (SendData)
        SendData(data);
    return true;
}

void TSendPane::ShowEntry(const QString &text, bool hex)
{
    m_chbTxHex->setChecked(hex);
    m_edtSend->setPlainText(text);
    m_edtSend->moveCursor(QTextCursor::End);
}

bool TSendPane::TxHex() const
{
    return m_chbTxHex->isChecked();
}

void TSendPane::AddBesideSendButton(QWidget *control)
{
    auto *bar = qobject_cast<QBoxLayout *>(m_btnSend->parentWidget()->layout());
    control->setParent(m_btnSend->parentWidget());
    bar->insertWidget(bar->indexOf(m_btnSend), control);
}

void TSendPane::AddBar(QWidget *bar)
{
    bar->setParent(this);
    layout()->addWidget(bar);
}

void TSendPane::KeepOwnKeys(QWidget *control)
{
    control->setProperty(kOwnKeysProperty, true);
}

void TSendPane::actCRExecute()
{
    m_edtSend->appendPlainText(QString());
}

void TSendPane::actClsExecute()
{
    RunOnFocusedEdit("clear");
}

void TSendPane::pmSendClick(int tag)
{
    if (tag == kSendKeyEnter || tag == kSendKeyCtrlEnter) {
        const QKeySequence enter(Qt::Key_Return);
        const QKeySequence ctrlEnter(Qt::CTRL | Qt::Key_Return);
        const bool enterSends = tag == kSendKeyEnter;
        m_actSend->setShortcut(enterSends ? enter : ctrlEnter);
        m_actCR->setShortcut(enterSends ? ctrlEnter : enter);
        QAction *item = enterSends ? m_mniEnter : m_mniCtrlEnter;
        item->setChecked(true);
        m_btnSend->setToolTip(PlainCaption(item->text()));
    } else if (tag == kSendKeyAutoCR) {
        m_mniAutoCR->setChecked(!m_mniAutoCR->isChecked());
    }
}

int TSendPane::SendKeyTag() const
{
    return m_actSend->shortcut() == QKeySequence(Qt::Key_Return) ? kSendKeyEnter
                                                                 : kSendKeyCtrlEnter;
}

void TSendPane::pmSendTypeClick(int tag)
{
    if (tag != kSendTypeSerial && tag != kSendTypeSms)
        return;
    const bool sms = tag == kSendTypeSms;
    m_rztlbrSendTpye->setVisible(sms);
    SetCaptionByKey(m_btnSendTpye, sms ? "lang_pmSendType1" : "lang_pmSendType0");
    m_sendType = tag;
    m_chbTxHex->setVisible(!sms);
    m_lblSend->setVisible(!sms);
    m_lblSendCount->setVisible(!sms);
}

void TSendPane::chbTxHexClick()
{
    const std::string bytes = BoxBytes(m_edtSend);
    if (m_chbTxHex->isChecked()) {
        m_edtSend->setPlainText(QString::fromStdString(TextToSpacedHex(bytes)));
        return;
    }
    std::string plain;
    if (!TryHexToText(bytes, plain))
        return;
    QString text = QString::fromStdString(GbkToUtf8(plain));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_edtSend->setPlainText(text);
}

void TSendPane::ApplyCaptions()
{
    SetCaptionByKey(m_lblReTelNum, "lang_lblReTelNum");
    SetCaptionByKey(m_lblSend, "lang_lblTxHex");
    SetCaptionByKey(m_btnSend, "lang_btnSend");
    m_edtSend->setAccessibleName(detail::Lang("lang_edtSend"));
}

void TSendPane::ApplyPopupItems()
{
    SetPopupItemByKey(m_pmSendType, 0, "lang_pmSendType0");
    SetPopupItemByKey(m_pmSendType, 1, "lang_pmSendType1");
    SetPopupItemByKey(m_pmSend, 0, "lang_pmSend0");
    SetPopupItemByKey(m_pmSend, 1, "lang_pmSend1");
    SetPopupItemByKey(m_pmSend, 3, "lang_pmSend3");
    SetPopupItemByKey(m_pmCls, 0, "lang_pmCls0");
    SetPopupItemByKey(m_pmCls, 1, "lang_pmCls1");
    SetPopupItemByKey(m_pmCls, 2, "lang_pmCls2");
    SetPopupItemByKey(m_pmCls, 4, "lang_pmCls4");
}

} // namespace m845
