#include "ui/config/windowsettings.h"

#include "lang/langlist.h"
#include "ui/link/serialbar.h"
#include "ui/terminal/sendpane.h"
#include "ui/terminal/sessionrecorder.h"
#include "ui/window/mainwindow.h"

namespace m845 {

TWindowSettings::TWindowSettings(TFrm_Main &window, TSequencer &sequencer,
                                 TSessionRecorder &recorder)
    : m_window(window)
    , m_link(window.SerialBar(), sequencer, TLinkSettings::TPortChoice::FromList)
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

int TWindowSettings::CommandDelay() const
{
    return m_link.CommandDelay();
}

void TWindowSettings::SetCommandDelay(int ms)
{
    m_link.SetCommandDelay(ms);
}

void TWindowSettings::FillPortList()
{
    m_link.FillPortList();
}

int TWindowSettings::PortItemCount(PortSetting box) const
{
    return m_link.PortItemCount(box);
}

std::string TWindowSettings::PortItem(PortSetting box, int index) const
{
    return m_link.PortItem(box, index);
}

void TWindowSettings::SetPortIndex(PortSetting box, int index)
{
    m_link.SetPortIndex(box, index);
}

std::string TWindowSettings::PortText(PortSetting box) const
{
    return m_link.PortText(box);
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
