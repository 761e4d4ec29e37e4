#include "ui/link/reopencontrol.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include "config/inifile.h"
#include "lang/langlist.h"
#include "serial/comm.h"
#include "serial/portlist.h"
#include "ui/config/configcommands.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/serialbar.h"
#include "ui/terminal/logpane.h"
#include "ui/window/mainwindow.h"

namespace m845 {

TReopenControl::TReopenControl(TFrm_Main &window, TConfigCommands &config)
    : m_window(window)
    , m_watch(&PortTarget)
    , m_timer(kReopenLookMs, this)
{
    m_timer.SetOnTimeout([this] { Look(); });

    QToolButton *button = window.SerialBar().OpenCloseButton();
    m_pmOpenOpt = new QMenu(button);
    m_pmOpenOpt->setObjectName(QStringLiteral("pmOpenOpt"));
    m_mniReopen = m_pmOpenOpt->addAction(QString());
    m_mniReopen->setObjectName(QStringLiteral("mniReopen"));
    m_mniReopen->setCheckable(true);
    m_mniReopen->setChecked(true);
    button->setMenu(m_pmOpenOpt);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    connect(m_mniReopen, &QAction::toggled, this, [this](bool on) {
        if (!on)
            m_watch.Stop();
    });

    TLinkControl &link = window.Link();
    connect(&link, &TLinkControl::PortOpenChanged, this, [this](bool open) {
        if (open)
            Opened();
    });
    connect(&link, &TLinkControl::PortLost, this, &TReopenControl::Lost);
    // The technician's own choice ends the watch: a click on the button, another port.
    const auto userTakesOver = [this] {
        m_watch.Stop();
    };
    connect(&window.SerialBar(), &TSerialToolBar::OpenCloseClicked, this, userTakesOver);
    TPortComboBox *box = window.SerialBar().PortBox();
    connect(box, &QComboBox::activated, this, userTakesOver);
    if (box->lineEdit() != nullptr)
        connect(box->lineEdit(), &QLineEdit::textEdited, this, userTakesOver);
    connect(&window, &TFrm_Main::Closing, this, userTakesOver);

    connect(&config, &TConfigCommands::ToolSettingsLoaded, this, &TReopenControl::Load);
    connect(&config, &TConfigCommands::ToolSettingsSaving, this, &TReopenControl::Save);
    connect(&window, &TFrm_Main::ApplyingTexts, this, [this](TTextStep step) {
        if (step == TTextStep::Captions)
            ApplyTexts();
    });
}

void TReopenControl::SetEnabled(bool on)
{
    m_mniReopen->setChecked(on);
}

bool TReopenControl::Enabled() const
{
    return m_mniReopen->isChecked();
}

void TReopenControl::SetPace(int lookMs, std::int64_t spacingMs)
{
    m_timer.SetInterval(lookMs);
    m_watch = TReopenWatch(&PortTarget, spacingMs);
}

void TReopenControl::Opened()
{
    // Taken while the device is there: its stable names are gone with it.
    const std::string port = m_window.SerialBar().PortText();
    const std::string path = TComm::DevicePath(m_window.Comm().CommName());
    m_open = TLostPort{port, path, StableLinksTo(path, m_byIdFolder)};
    m_watch.Stop();
}

void TReopenControl::Lost()
{
    if (!Enabled() || !m_open)
        return;
    m_watch.Lost(*m_open);
    m_window.Log().LogInfo(LangFormat("info_ReopenWait", {m_open->portText}));
    m_timer.Start();
    Look();
}

void TReopenControl::Look()
{
    if (!m_watch.Watching()) {
        m_timer.Stop();
        return;
    }
    const std::optional<std::string> port = m_watch.Due(m_clock());
    if (!port)
        return;
    TSerialToolBar &bar = m_window.SerialBar();
    bar.ShowPort(*port);
    const int error = m_window.Link().ReopenLink();
    m_watch.Attempted(error == 0, error);
    if (error == 0) {
        m_window.Log().LogInfo(LangFormat("info_Reopened", {*port, bar.BaudText()}));
    } else if (!m_watch.Watching()) {
        m_window.Log().LogWarn(LangFormat("info_ReopenFail", {*port}));
        m_window.Link().LogOpenFailure();
    }
    if (!m_watch.Watching())
        m_timer.Stop();
}

void TReopenControl::Load(const TIniFile &ini)
{
    SetEnabled(ini.ReadBool(kTerminalSection, "ReopenAfterReplug", true));
}

void TReopenControl::Save(TIniFile &ini) const
{
    ini.WriteBool(kTerminalSection, "ReopenAfterReplug", Enabled());
}

void TReopenControl::ApplyTexts()
{
    SetCaptionByKey(m_mniReopen, "lang_mniReopen");
}

} // namespace m845
