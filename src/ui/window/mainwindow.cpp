#include "ui/window/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "lang/langlist.h"
#include "protocol/commands.h"
#include "serial/comm.h"
#include "ui/common/qttimer.h"
#include "ui/common/uitext.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/serialbar.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/sendpane.h"
#include "ui/window/aboutwindow.h"
#include "ui/window/commandbuttons.h"
#include "ui/window/wheelrouter.h"

namespace m845 {

namespace {

QSplitter *MakeSplitter(const QString &name, QWidget *parent)
{
    auto *splitter = new QSplitter(Qt::Vertical, parent);
    splitter->setObjectName(name);
    splitter->setHandleWidth(10);
    splitter->setOpaqueResize(true);
    return splitter;
}

} // namespace

TFrm_Main::TFrm_Main(const std::function<void(TFrm_Main &)> &beforeCreate, QWidget *parent)
    : QMainWindow(parent)
    , m_cm1(std::make_unique<TComm>())
{
    setObjectName(QStringLiteral("Frm_Main"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(9);
    setFont(font);

    m_tmrRcv = new TQtTimer(1000, this);
    BuildMenus();

    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_serialBar = new TSerialToolBar(central);
    outer->addWidget(m_serialBar);

    auto *sides = new QSplitter(Qt::Horizontal, central);
    sides->setObjectName(QStringLiteral("spltrSides"));
    sides->setChildrenCollapsible(false);
    m_parameterHost = new QWidget(sides);
    m_parameterHost->setObjectName(QStringLiteral("pnlL"));
    auto *hostLayout = new QVBoxLayout(m_parameterHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    // Until the parameter panel is installed: its two areas, the lower one resizable.
    auto *placeholder = MakeSplitter(QStringLiteral("spltrParaPlaceholder"), m_parameterHost);
    placeholder->setHandleWidth(7);
    auto *pnlWkmod = new QWidget(placeholder);
    pnlWkmod->setObjectName(QStringLiteral("pnlWkmod"));
    new QVBoxLayout(pnlWkmod);
    auto *rzszpnlBase = new QWidget(placeholder);
    rzszpnlBase->setObjectName(QStringLiteral("rzszpnlBase"));
    new QVBoxLayout(rzszpnlBase);
    placeholder->addWidget(pnlWkmod);
    placeholder->addWidget(rzszpnlBase);
    placeholder->setStretchFactor(0, 1);
    placeholder->setStretchFactor(1, 0);
    placeholder->setSizes({560, 129});
    hostLayout->addWidget(placeholder);
    m_parameterPlaceholder = placeholder;
    sides->addWidget(m_parameterHost);
    sides->addWidget(BuildCommandSide());
    sides->setStretchFactor(0, 0);
    sides->setStretchFactor(1, 1);
    sides->setSizes({589, 603});
    outer->addWidget(sides, 1);
    setCentralWidget(central);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("rzstsbrBottom"));
    status->setFixedHeight(19);
    setStatusBar(status);

    m_log->SetTxCountLabel(m_send->TxCountLabel());
    m_send->AttachContextMenu(m_log->Dialog());
    m_send->AttachContextMenu(m_log->DialogHex());

    m_link = std::make_unique<TLinkControl>(*m_cm1, *m_serialBar, *m_log, m_tmrRcv);
    m_link->CountTx = [this](std::uint32_t n) {
        m_log->CountTx(n);
    };
    m_link->OnButtonTagChanged = [this](int tag) {
        m_serialBar->ShowButtonTag(tag);
    };
    m_send->SendData = [this](std::string_view data) {
        m_link->SendData(data);
    };
    connect(m_serialBar, &TSerialToolBar::OpenCloseClicked, this,
            [this] { m_link->btnSysClick(); });
    connect(m_serialBar, &TSerialToolBar::FwUpClicked, this,
            [this] { m_link->btnSysClick(kBtnTagChooseFirmware); });
    m_serialBar->FwUpButton()->setMenu(m_pmFwUpOpt);
    connect(m_buttons, &TCommandButtons::Clicked, this, [this](int tag) { btnDoClick(tag); });

    new TWheelRouter(this);
    resize(1192, 800);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (beforeCreate)
        beforeCreate(*this);
    FormCreate();
}

TFrm_Main::~TFrm_Main()
{
    qApp->removeEventFilter(this);
    FormClose();
    // Parts joined from outside hold references to the link, the log and the timers: they go
    // first, in the reverse order of joining.
    while (!m_parts.empty())
        m_parts.pop_back();
    // Both port threads end before anything they could post to goes away.
    m_cm1->ClosePort();
    m_link.reset();
}

QWidget *TFrm_Main::BuildCommandSide()
{
    auto *pnlR = new QWidget(this);
    pnlR->setObjectName(QStringLiteral("pnlR"));
    auto *rightLayout = new QVBoxLayout(pnlR);
    rightLayout->setContentsMargins(2, 2, 2, 2);
    auto *group = new QGroupBox(pnlR);
    group->setObjectName(QStringLiteral("rzgrpbxDo"));
    m_rzgrpbxDo = group;
    rightLayout->addWidget(group);
    auto *doLayout = new QVBoxLayout(group);
    doLayout->setContentsMargins(4, 4, 4, 4);

    m_buttons = new TCommandButtons(this);
    QWidget *mainButtons = m_buttons->BuildMainGroup(group);
    mainButtons->setFixedHeight(85);
    doLayout->addWidget(mainButtons);

    QSplitter *btnAndDialog = MakeSplitter(QStringLiteral("rzspltrBtnAndDialog"), group);
    btnAndDialog->addWidget(m_buttons->BuildSingleBox(btnAndDialog));
    QSplitter *dialog = MakeSplitter(QStringLiteral("rzspltrDialog"), btnAndDialog);
    m_log = new TLogPane(dialog);
    m_send = new TSendPane(this, dialog);
    dialog->addWidget(m_log);
    dialog->addWidget(m_send);
    // A taller window grows the log; the send box keeps its height.
    dialog->setStretchFactor(0, 1);
    dialog->setStretchFactor(1, 0);
    dialog->setSizes({379, 92});
    btnAndDialog->addWidget(dialog);
    btnAndDialog->setStretchFactor(0, 0);
    btnAndDialog->setStretchFactor(1, 1);
    btnAndDialog->setSizes({78, 480});
    doLayout->addWidget(btnAndDialog, 1);
    return pnlR;
}

void TFrm_Main::FormCreate()
{
    TLangFileProblem langProblem = m_adoptedLanguageProblem;
    if (LangList() == nullptr) {
        langProblem = InitLanguage();
        m_ownsLanguage = true;
    }
    // Stored settings arrive with the configuration file; until then the tool-bar defaults.
    m_serialBar->SelectDefaults();
    emit LoadingConfiguration();
    // The check marks follow the language the configuration left, or the one of this run.
    SetLanguage(m_languageOverride.value_or(LangList()->IsChinese));
    ApplyMainTexts();
    // Said once the language is settled; the program goes on with the built-in texts.
    if (!langProblem.empty())
        m_log->LogWarn(LangFormat("info_LangFileFail", {langProblem.path, langProblem.reason}));
    emit SelectingStartMode();
    m_log->SetHexMirror(m_log->HexMirror());
    QueueClear();
}

void TFrm_Main::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    emit Closing();
    QueueClear();
    if (m_ownsLanguage)
        ReleaseLanguage();
}

void TFrm_Main::closeEvent(QCloseEvent *event)
{
    FormClose();
    if (m_about != nullptr)
        m_about->close();
    event->accept();
}

void TFrm_Main::InstallParameterPanel(QWidget *panel)
{
    delete m_parameterPlaceholder;
    m_parameterPlaceholder = nullptr;
    // The panel carries the parameter side's own name.
    m_parameterHost->setObjectName(QStringLiteral("pnlLHost"));
    m_parameterHost->layout()->addWidget(panel);
}

void TFrm_Main::AdoptLanguage(TLangFileProblem problem)
{
    m_ownsLanguage = true;
    m_adoptedLanguageProblem = std::move(problem);
}

void TFrm_Main::AdoptPart(std::unique_ptr<QObject> part)
{
    m_parts.push_back(std::move(part));
}

void TFrm_Main::btnDoClick(int tag)
{
    if (DoClick)
        DoClick(tag);
}

QProgressBar *TFrm_Main::ProgressBar() const
{
    return m_log->ProgressBar();
}

void TFrm_Main::SetAboutWindow(Tfrm_About *about)
{
    m_about = about;
    if (about != nullptr)
        connect(about, &Tfrm_About::HexMirrorChanged, this,
                [this](bool on) { m_log->SetHexMirror(on); });
}

} // namespace m845
