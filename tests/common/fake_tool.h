#pragma once

// The tool's own settings as plain state: three ports, the tool bar's lists, and a record of
// the calls the configuration code makes.

#include <array>
#include <string>
#include <vector>

#include "core/toolsettings.h"

namespace m845::test {

class TFakeTool final : public IToolSettings
{
public:
    TFakeTool()
    {
        m_items[Ix(PortSetting::BaudRate)] = {"1200", "9600", "115200", "460800"};
        m_items[Ix(PortSetting::Parity)] = {"NONE", "ODD", "EVEN"};
        m_items[Ix(PortSetting::Data)] = {"7", "8"};
        m_items[Ix(PortSetting::Stop)] = {"1", "2"};
        m_items[Ix(PortSetting::Flow)] = {"NONE", "CRTS"};
        m_index.fill(-1);
    }

    [[nodiscard]] bool SystemIsChinese() const override { return systemChinese; }
    [[nodiscard]] bool IsChinese() const override { return chinese; }
    void SetChinese(bool value) override { chinese = value; }
    [[nodiscard]] bool RealTimeHelp() const override { return help; }
    void SetRealTimeHelp(bool on) override { help = on; }
    void SetCustom(bool value) override { custom = value; }
    [[nodiscard]] int SendKeyTag() const override { return sendKey; }
    void ChooseSendKey(int tag) override { sendKey = tag; }
    [[nodiscard]] int CommandDelay() const override { return delay; }
    void SetCommandDelay(int ms) override { delay = ms; }
    void FillPortList() override
    {
        m_items[Ix(PortSetting::ComName)] = ports;
        m_index[Ix(PortSetting::ComName)] = -1;
        ++portListFills;
    }
    [[nodiscard]] int PortItemCount(PortSetting box) const override
    {
        return static_cast<int>(m_items[Ix(box)].size());
    }
    [[nodiscard]] std::string PortItem(PortSetting box, int index) const override
    {
        return m_items[Ix(box)].at(static_cast<std::size_t>(index));
    }
    void SetPortIndex(PortSetting box, int index) override { m_index[Ix(box)] = index; }
    [[nodiscard]] std::string PortText(PortSetting box) const override
    {
        const int index = m_index[Ix(box)];
        return index < 0 ? std::string() : PortItem(box, index);
    }
    [[nodiscard]] bool Recording() const override { return recording; }
    [[nodiscard]] std::string RecordFile() const override { return recordFile; }
    void SetRecording(bool on, std::string_view file) override
    {
        recording = on;
        recordFile = std::string(file);
    }

    bool systemChinese = false;
    bool chinese = false;
    bool help = false;
    bool custom = true;
    int sendKey = 0;
    int delay = -1;
    bool recording = true;
    std::string recordFile = "unset";
    std::vector<std::string> ports = {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1"};
    int portListFills = 0;

private:
    static constexpr std::size_t Ix(PortSetting box) { return static_cast<std::size_t>(box); }
    std::array<std::vector<std::string>, 6> m_items;
    std::array<int, 6> m_index{};
};

} // namespace m845::test
