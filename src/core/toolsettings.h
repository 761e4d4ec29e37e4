#pragma once

// The tool's own settings as the configuration file sees them, apart from the device's
// parameters: how the PC talks to the device (its port settings and the command pause), and
// the window's preferences (language, real-time help, the send key, the session recording).
// The window implements both; a provisioning run only the first; tests use a fake.

#include <cstdint>
#include <string>
#include <string_view>

namespace m845 {

// The serial tool bar's lists: cbbOpenCom, cbbOpenBaud, cbbOpenP, cbbOpenD, cbbOpenS,
// cbbOpenFlow.
enum class PortSetting : std::uint8_t { ComName, BaudRate, Parity, Data, Stop, Flow };

class ILinkSettings
{
public:
    virtual ~ILinkSettings() = default;

    [[nodiscard]] virtual int CommandDelay() const = 0;
    virtual void SetCommandDelay(int ms) = 0;

    // Refills cbbOpenCom from the system; the list then has no selection.
    virtual void FillPortList() = 0;
    [[nodiscard]] virtual int PortItemCount(PortSetting box) const = 0;
    [[nodiscard]] virtual std::string PortItem(PortSetting box, int index) const = 0;
    // -1 leaves the list with no selection.
    virtual void SetPortIndex(PortSetting box, int index) = 0;
    [[nodiscard]] virtual std::string PortText(PortSetting box) const = 0;
};

class IToolSettings : public ILinkSettings
{
public:
    [[nodiscard]] virtual bool SystemIsChinese() const = 0;
    [[nodiscard]] virtual bool IsChinese() const = 0;
    virtual void SetChinese(bool chinese) = 0;

    // The check mark of mni_Hint and whether hints show at all.
    [[nodiscard]] virtual bool RealTimeHelp() const = 0;
    virtual void SetRealTimeHelp(bool on) = 0;
    // true hides the update and support items of the Help menu; About is always shown.
    virtual void SetCustom(bool custom) = 0;

    // 1 Enter sends, 2 Ctrl+Enter sends, anything else: some other key.
    [[nodiscard]] virtual int SendKeyTag() const = 0;
    // Runs the choice of mniEnter (1) or mniCtrlEnter (2).
    virtual void ChooseSendKey(int tag) = 0;

    // Session recording: every log entry appended to a file. Switching it on with a file that
    // cannot be opened warns once and leaves it off.
    [[nodiscard]] virtual bool Recording() const = 0;
    [[nodiscard]] virtual std::string RecordFile() const = 0;
    virtual void SetRecording(bool on, std::string_view file) = 0;
};

} // namespace m845
