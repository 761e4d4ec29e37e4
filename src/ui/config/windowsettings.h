#pragma once

// The tool's own settings as the window holds them: the language list, the Help menu, the
// send key, the serial tool bar, the session's command pause and the session recorder.

#include <optional>

#include "core/toolsettings.h"
#include "ui/link/linksettings.h"

namespace m845 {

class TFrm_Main;
class TSequencer;
class TSessionRecorder;

class TWindowSettings final : public IToolSettings
{
public:
    TWindowSettings(TFrm_Main &window, TSequencer &sequencer, TSessionRecorder &recorder);

    [[nodiscard]] bool SystemIsChinese() const override;
    [[nodiscard]] bool IsChinese() const override;
    void SetChinese(bool chinese) override;
    [[nodiscard]] bool RealTimeHelp() const override;
    void SetRealTimeHelp(bool on) override;
    void SetCustom(bool custom) override;
    [[nodiscard]] int SendKeyTag() const override;
    void ChooseSendKey(int tag) override;
    [[nodiscard]] int CommandDelay() const override;
    void SetCommandDelay(int ms) override;
    void FillPortList() override;
    [[nodiscard]] int PortItemCount(PortSetting box) const override;
    [[nodiscard]] std::string PortItem(PortSetting box, int index) const override;
    void SetPortIndex(PortSetting box, int index) override;
    [[nodiscard]] std::string PortText(PortSetting box) const override;
    [[nodiscard]] bool Recording() const override;
    [[nodiscard]] std::string RecordFile() const override;
    void SetRecording(bool on, std::string_view file) override;

private:
    TFrm_Main &m_window;
    TLinkSettings m_link;
    TSessionRecorder &m_recorder;
    std::optional<bool> m_storedChinese;
};

} // namespace m845
