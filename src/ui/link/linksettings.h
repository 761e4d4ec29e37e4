#pragma once

// How the PC talks to the device, as the window holds it: the serial tool bar's lists and the
// sequencer's command pause. The window's port list comes from the system; a provisioning run
// takes its port from the command line and never chooses one from a list.

#include "core/toolsettings.h"

class QComboBox;

namespace m845 {

class TSequencer;
class TSerialToolBar;

class TLinkSettings final : public ILinkSettings
{
public:
    enum class TPortChoice : std::uint8_t { FromList, AsGiven };

    TLinkSettings(TSerialToolBar &bar, TSequencer &sequencer, TPortChoice ports);

    [[nodiscard]] int CommandDelay() const override;
    void SetCommandDelay(int ms) override;
    void FillPortList() override;
    [[nodiscard]] int PortItemCount(PortSetting box) const override;
    [[nodiscard]] std::string PortItem(PortSetting box, int index) const override;
    void SetPortIndex(PortSetting box, int index) override;
    [[nodiscard]] std::string PortText(PortSetting box) const override;

private:
    [[nodiscard]] QComboBox *Box(PortSetting box) const;
    // The port name is the command line's: no list to choose from.
    [[nodiscard]] bool PortGiven(PortSetting box) const
    {
        return box == PortSetting::ComName && m_ports == TPortChoice::AsGiven;
    }

    TSerialToolBar &m_bar;
    TSequencer &m_sequencer;
    TPortChoice m_ports;
};

} // namespace m845
