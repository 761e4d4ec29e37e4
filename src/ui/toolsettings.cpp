#include "ui/toolsettings.h"

#include <QComboBox>

#include "lang/langlist.h"
#include "protocol/reply.h"
#include "protocol/sequencer.h"
#include "ui/mainwindow.h"
#include "ui/sendpane.h"
#include "ui/serialbar.h"
#include "ui/sessionrecorder.h"

namespace m845 {

TToolSettings::TToolSettings(TFrm_Main &window, TReplyApplier &applier, TSequencer &sequencer,
                             TSessionRecorder &recorder)
    : m_window(window)
    , m_applier(applier)
    , m_sequencer(sequencer)
    , m_recorder(recorder)
{}

bool TToolSettings::SystemIsChinese() const
{
    return TLangList::SystemIsChinese();
}

bool TToolSettings::IsChinese() const
{
    // A language given for this run only (--lang) leaves the stored choice as it was, unless
    // the user picked one from the menu since.
    if (m_window.LanguageOverride() && m_storedChinese)
        return *m_storedChinese;
    return LangList() != nullptr && LangList()->IsChinese;
}

void TToolSettings::SetChinese(bool chinese)
{
    m_storedChinese = chinese;
    // The texts follow in the window's creation step (or at once after a run-time load).
    m_window.SetLanguage(chinese);
}

bool TToolSettings::RealTimeHelp() const
{
    return m_window.RealTimeHelp();
}

void TToolSettings::SetRealTimeHelp(bool on)
{
    m_window.SetRealTimeHelp(on);
}

void TToolSettings::SetCustom(bool custom)
{
    m_window.SetCustom(custom);
}

int TToolSettings::SendKeyTag() const
{
    return m_window.SendPane().SendKeyTag();
}

void TToolSettings::ChooseSendKey(int tag)
{
    m_window.SetSendKey(tag);
}

std::uint8_t TToolSettings::HardwareSign() const
{
    return static_cast<std::uint8_t>(m_applier.HardwareSign());
}

void TToolSettings::LoadHardwareSign(std::uint8_t sign)
{
    m_applier.LoadHardwareSign(static_cast<THdVerSign>(sign));
}

int TToolSettings::CommandDelay() const
{
    return m_sequencer.CommandDelay();
}

void TToolSettings::SetCommandDelay(int ms)
{
    m_sequencer.SetCommandDelay(ms);
}

QComboBox *TToolSettings::Box(PortSetting box) const
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

void TToolSettings::FillPortList()
{
    m_window.SerialBar().PortBox()->FillPortList();
    m_window.SerialBar().PortBox()->setCurrentIndex(-1);
}

int TToolSettings::PortItemCount(PortSetting box) const
{
    return Box(box)->count();
}

std::string TToolSettings::PortItem(PortSetting box, int index) const
{
    return Box(box)->itemText(index).toStdString();
}

void TToolSettings::SetPortIndex(PortSetting box, int index)
{
    Box(box)->setCurrentIndex(index);
}

std::string TToolSettings::PortText(PortSetting box) const
{
    return Box(box)->currentText().toStdString();
}

bool TToolSettings::Recording() const
{
    return m_recorder.IsOn();
}

std::string TToolSettings::RecordFile() const
{
    return m_recorder.File().toStdString();
}

void TToolSettings::SetRecording(bool on, std::string_view file)
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
