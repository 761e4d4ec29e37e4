#include "ui/config/windowsettings.h"

#include <QComboBox>

#include "lang/langlist.h"
#include "protocol/reply.h"
#include "protocol/sequencer.h"
#include "ui/link/serialbar.h"
#include "ui/terminal/sendpane.h"
#include "ui/terminal/sessionrecorder.h"
#include "ui/window/mainwindow.h"

namespace m845 {

TWindowSettings::TWindowSettings(TFrm_Main &window, TReplyApplier &applier, TSequencer &sequencer,
                             TSessionRecorder &recorder)
    : m_window(window)
    , m_applier(applier)
    , m_sequencer(sequencer)
    , m_recorder(recorder)
{}

bool TWindowSettings::SystemIsChinese() const
{
    return TLangList::SystemIsChinese();
}

bool TWindowSettings::IsChinese() const
{
    // A language given for this run only (--lang) leaves the stored choice as it was, unless
    // the user picked one from the menu since.
    if (m_window.LanguageOverride() && m_storedChinese)
        return *m_storedChinese;
    return LangList() != nullptr && LangList()->IsChinese;
}

void TWindowSettings::SetChinese(bool chinese)
{
    m_storedChinese = chinese;
    // The texts follow in the window's creation step (or at once after a run-time load).
    m_window.SetLanguage(chinese);
}

bool TWindowSettings::RealTimeHelp() const
{
    return m_window.RealTimeHelp();
}

void TWindowSettings::SetRealTimeHelp(bool on)
{
    m_window.SetRealTimeHelp(on);
}

void TWindowSettings::SetCustom(bool custom)
{
    m_window.SetCustom(custom);
}

int TWindowSettings::SendKeyTag() const
{
    return m_window.SendPane().SendKeyTag();
}

void TWindowSettings::ChooseSendKey(int tag)
{
    m_window.SetSendKey(tag);
}

std::uint8_t TWindowSettings::HardwareSign() const
{
    return static_cast<std::uint8_t>(m_applier.HardwareSign());
}

void TWindowSettings::LoadHardwareSign(std::uint8_t sign)
{
    m_applier.LoadHardwareSign(static_cast<THdVerSign>(sign));
}

int TWindowSettings::CommandDelay() const
{
    return m_sequencer.CommandDelay();
}

void TWindowSettings::SetCommandDelay(int ms)
{
    m_sequencer.SetCommandDelay(ms);
}

QComboBox *TWindowSettings::Box(PortSetting box) const
{
    const char *name = "cbbOpenCom";
    switch (box) {
    case PortSetting::ComName:
        return m_window.SerialBar().PortBox();
    case PortSetting::BaudRate:
        name = "cbbOpenBaud";
        break;
    case PortSetting::Parity:
        name = "cbbOpenP";
        break;
    case PortSetting::Data:
        name = "cbbOpenD";
        break;
    case PortSetting::Stop:
        name = "cbbOpenS";
        break;
    case PortSetting::Flow:
        name = "cbbOpenFlow";
        break;
    }
    return m_window.SerialBar().findChild<QComboBox *>(QString::fromLatin1(name));
}

void TWindowSettings::FillPortList()
{
    m_window.SerialBar().PortBox()->FillPortList();
    m_window.SerialBar().PortBox()->setCurrentIndex(-1);
}

int TWindowSettings::PortItemCount(PortSetting box) const
{
    return Box(box)->count();
}

std::string TWindowSettings::PortItem(PortSetting box, int index) const
{
    return Box(box)->itemText(index).toStdString();
}

void TWindowSettings::SetPortIndex(PortSetting box, int index)
{
    Box(box)->setCurrentIndex(index);
}

std::string TWindowSettings::PortText(PortSetting box) const
{
    return Box(box)->currentText().toStdString();
}

bool TWindowSettings::Recording() const
{
    return m_recorder.IsOn();
}

std::string TWindowSettings::RecordFile() const
{
    return m_recorder.File().toStdString();
}

void TWindowSettings::SetRecording(bool on, std::string_view file)
{
    const QString path = QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size()));
    if (on) {
        // A reload that names the running record leaves it running.
        if (!m_recorder.IsOn() || m_recorder.File() != path)
            static_cast<void>(m_recorder.Start(path));
        return;
    }
    m_recorder.Stop();
    m_recorder.SetFile(path);
}

} // namespace m845
