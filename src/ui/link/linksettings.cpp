#include "ui/link/linksettings.h"

#include <QComboBox>

#include "protocol/sequencer.h"
#include "ui/link/serialbar.h"

namespace m845 {

TLinkSettings::TLinkSettings(TSerialToolBar &bar, TSequencer &sequencer, TPortChoice ports)
    : m_bar(bar)
    , m_sequencer(sequencer)
    , m_ports(ports)
{}

int TLinkSettings::CommandDelay() const
{
    return m_sequencer.CommandDelay();
}

void TLinkSettings::SetCommandDelay(int ms)
{
    m_sequencer.SetCommandDelay(ms);
}

QComboBox *TLinkSettings::Box(PortSetting box) const
{
    const char *name = "cbbOpenCom";
    switch (box) {
    case PortSetting::ComName:
        return m_bar.PortBox();
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
    return m_bar.findChild<QComboBox *>(QString::fromLatin1(name));
}

void TLinkSettings::FillPortList()
{
    if (m_ports == TPortChoice::AsGiven)
        return;
    m_bar.PortBox()->FillPortList();
    m_bar.PortBox()->setCurrentIndex(-1);
}

int TLinkSettings::PortItemCount(PortSetting box) const
{
    return PortGiven(box) ? 0 : Box(box)->count();
}

std::string TLinkSettings::PortItem(PortSetting box, int index) const
{
    return PortGiven(box) ? std::string() : Box(box)->itemText(index).toStdString();
}

void TLinkSettings::SetPortIndex(PortSetting box, int index)
{
    if (!PortGiven(box))
        Box(box)->setCurrentIndex(index);
}

std::string TLinkSettings::PortText(PortSetting box) const
{
    return PortGiven(box) ? m_bar.PortText() : Box(box)->currentText().toStdString();
}

} // namespace m845
