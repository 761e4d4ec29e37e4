#pragma once

// A plain parameter panel: state only, with the window's item lists, and counters of the
// reactions the real panel would run. No rules between controls.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/panel.h"

namespace m845::test {

class TFakePanel final : public IPanel
{
public:
    static constexpr int kChecks = static_cast<int>(PanelCheck::More) + 1;
    static constexpr int kCombos = static_cast<int>(PanelCombo::RegDt) + 1;
    static constexpr int kEdits = static_cast<int>(PanelEdit::UdcId) + 1;

    TFakePanel()
    {
        Items(PanelCombo::Baud) = {"1200",  "2400",  "4800",  "9600",   "14400",  "19200", "28800",
                                   "33600", "38400", "57600", "115200", "230400", "460800"};
        Items(PanelCombo::D) = {"7", "8"};
        Items(PanelCombo::S) = {"1", "2"};
        Items(PanelCombo::P) = {"NONE", "ODD", "EVEN"};
        Items(PanelCombo::Flow) = {"NFC", "RS485"};
        for (auto box : {PanelCombo::ProtocolA, PanelCombo::ProtocolB, PanelCombo::ProtocolC,
                         PanelCombo::ProtocolD})
            Items(box) = {"TCP", "UDP"};
        for (auto box : {PanelCombo::ASL, PanelCombo::BSL, PanelCombo::CSL, PanelCombo::DSL})
            Items(box) = {"Short Connection", "Long Connection"};
        Items(PanelCombo::RegTp) = {"ICCID Code", "MEID Code", "Cloud", "User-defined data"};
        Items(PanelCombo::RegSnd) = {"Send register data when socket connects",
                                     "Send register data as the head of every TCP/UDP package"};
        Items(PanelCombo::HeartSnd) = {"Send data to network", "Send data to serial port"};
        Items(PanelCombo::HTPTP) = {"GET", "POST"};
        Items(PanelCombo::RegDt) = {"", "", "", "", ""};
        m_comboIndex.fill(0);
        m_comboIndex[Ix(PanelCombo::Baud)] = 10;
        m_comboIndex[Ix(PanelCombo::D)] = 1;
        m_comboIndex[Ix(PanelCombo::HTPTP)] = 1;
        m_comboIndex[Ix(PanelCombo::RegTp)] = 3;
        m_comboIndex[Ix(PanelCombo::RegDt)] = 3;
    }

    [[nodiscard]] bool Checked(PanelCheck box) const override { return m_checked[Ix(box)]; }
    void SetChecked(PanelCheck box, bool checked) override
    {
        if (m_checked[Ix(box)] == checked)
            return;
        m_checked[Ix(box)] = checked;
        ++checkReactions[Ix(box)];
    }

    [[nodiscard]] bool RadioChecked(PanelRadio button) const override
    {
        return m_radio[Ix(button)];
    }
    void SetRadioChecked(PanelRadio button, bool checked) override
    {
        if (!checked) {
            m_radio[Ix(button)] = false;
            return;
        }
        if (m_radio[Ix(button)])
            return;
        m_radio.fill(false);
        m_radio[Ix(button)] = true;
        ++workModeReactions;
    }

    [[nodiscard]] int ComboIndex(PanelCombo box) const override { return m_comboIndex[Ix(box)]; }
    void SetComboIndex(PanelCombo box, int index) override
    {
        m_comboIndex[Ix(box)] = (index >= 0 && index < ComboCount(box)) ? index : -1;
        if (box == PanelCombo::RegDt)
            m_regDtTyped.reset();
    }
    [[nodiscard]] std::string ComboText(PanelCombo box) const override
    {
        if (box == PanelCombo::RegDt && m_regDtTyped)
            return *m_regDtTyped;
        return ComboItem(box, ComboIndex(box));
    }
    [[nodiscard]] int ComboCount(PanelCombo box) const override
    {
        return static_cast<int>(m_items[Ix(box)].size());
    }
    [[nodiscard]] std::string ComboItem(PanelCombo box, int index) const override
    {
        const auto &items = m_items[Ix(box)];
        return index >= 0 && index < static_cast<int>(items.size()) ? items[Ix(index)]
                                                                    : std::string();
    }
    void SetComboItem(PanelCombo box, int index, std::string_view text) override
    {
        if (index < 0 || index >= ComboCount(box))
            return;
        m_items[Ix(box)][Ix(index)] = std::string(text);
        if (box == PanelCombo::RegDt && index == ComboIndex(box))
            m_regDtTyped.reset();
    }

    [[nodiscard]] std::string EditText(PanelEdit box) const override { return m_edits[Ix(box)]; }
    void SetEditText(PanelEdit box, std::string_view text) override
    {
        m_edits[Ix(box)] = std::string(text);
    }

    void ProtocolChange(int row) override { protocolChanges.push_back(row); }
    void RegTpChange() override { ++regTpChanges; }

    // What the operator typed into the registration data box's edit field.
    void TypeRegDt(std::string_view text) { m_regDtTyped = std::string(text); }

    std::array<int, kChecks> checkReactions{};
    int workModeReactions = 0;
    std::vector<int> protocolChanges;
    int regTpChanges = 0;

    [[nodiscard]] int CheckReactions(PanelCheck box) const { return checkReactions[Ix(box)]; }

private:
    template <class E> static constexpr std::size_t Ix(E e) { return static_cast<std::size_t>(e); }
    std::vector<std::string> &Items(PanelCombo box) { return m_items[Ix(box)]; }

    std::array<bool, kChecks> m_checked{};
    std::array<bool, 4> m_radio{};
    std::array<int, kCombos> m_comboIndex{};
    std::array<std::vector<std::string>, kCombos> m_items;
    std::array<std::string, kEdits> m_edits;
    std::optional<std::string> m_regDtTyped;
};

} // namespace m845::test
