#pragma once

// The tool's settings as a provisioning run sees them: the port's line settings come from the
// file or the command line and live in the hidden window's serial tool bar; the hardware
// variant and the command pause belong to the session; the window's own preferences
// (language, hints, send key, recording) are kept here only, so a file never changes them.

#include "core/toolsettings.h"

class QComboBox;

namespace m845 {

class TReplyApplier;
class TSequencer;
class TSerialToolBar;

class TProvisionSettings final : public IToolSettings
{
public:
    TProvisionSettings(TSerialToolBar &bar, TReplyApplier &applier, TSequencer &sequencer);

    [[nodiscard]] bool SystemIsChinese() const override;
    // The words of the run, whatever the file says.
    [[nodiscard]] bool IsChinese() const override;
    void SetChinese(bool) override {}
    [[nodiscard]] bool RealTimeHelp() const override { return m_realTimeHelp; }
    void SetRealTimeHelp(bool on) override { m_realTimeHelp = on; }
    void SetCustom(bool) override {}
    [[nodiscard]] int SendKeyTag() const override { return m_sendKeyTag; }
    void ChooseSendKey(int tag) override { m_sendKeyTag = tag; }
    [[nodiscard]] std::uint8_t HardwareSign() const override;
    void LoadHardwareSign(std::uint8_t sign) override;
    [[nodiscard]] int CommandDelay() const override;
    void SetCommandDelay(int ms) override;
    // The port is the command line's: the list stays empty so a stored name is never chosen.
    void FillPortList() override {}
    [[nodiscard]] int PortItemCount(PortSetting box) const override;
    [[nodiscard]] std::string PortItem(PortSetting box, int index) const override;
    void SetPortIndex(PortSetting box, int index) override;
    [[nodiscard]] std::string PortText(PortSetting box) const override;
    // A provisioning run records nothing.
    [[nodiscard]] bool Recording() const override { return false; }
    [[nodiscard]] std::string RecordFile() const override { return {}; }
    void SetRecording(bool, std::string_view) override {}

private:
    [[nodiscard]] QComboBox *Box(PortSetting box) const;

    TSerialToolBar &m_bar;
    TReplyApplier &m_applier;
    TSequencer &m_sequencer;
    bool m_realTimeHelp = true;
    int m_sendKeyTag = 2;
};

} // namespace m845
