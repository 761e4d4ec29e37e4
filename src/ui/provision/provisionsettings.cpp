#include "ui/provision/provisionsettings.h"

#include <QComboBox>

#include "lang/langlist.h"
#include "protocol/reply.h"
#include "protocol/sequencer.h"
#include "ui/link/serialbar.h"

namespace m845 {

TProvisionSettings::TProvisionSettings(TSerialToolBar &bar, TReplyApplier &applier,
                                       TSequencer &sequencer)
    : m_bar(bar)
    , m_applier(applier)
    , m_sequencer(sequencer)
{}

bool TProvisionSettings::SystemIsChinese() const
{
    return TLangList::SystemIsChinese();
}

bool TProvisionSettings::IsChinese() const
{
    return LangList() != nullptr && LangList()->IsChinese;
}

std::uint8_t TProvisionSettings::HardwareSign() const
{
    return static_cast<std::uint8_t>(m_applier.HardwareSign());
}

void TProvisionSettings::LoadHardwareSign(std::uint8_t sign)
{
    m_applier.LoadHardwareSign(static_cast<THdVerSign>(sign));
}

int TProvisionSettings::CommandDelay() const
{
    return m_sequencer.CommandDelay();
}

void TProvisionSettings::SetCommandDelay(int ms)
{
    m_sequencer.SetCommandDelay(ms);
}

QComboBox *TProvisionSettings::Box(PortSetting box) const
{
    switch (box) {
    case PortSetting::ComName:
        return m_bar.PortBox();
    case PortSetting::BaudRate:
        return m_bar.findChild<QComboBox *>(QStringLiteral("cbbOpenBaud"));
    case PortSetting::Parity:
        return m_bar.findChild<QComboBox *>(QStringLiteral("cbbOpenP"));
    case PortSetting::Data:
        return m_bar.findChild<QComboBox *>(QStringLiteral("cbbOpenD"));
    case PortSetting::Stop:
        return m_bar.findChild<QComboBox *>(QStringLiteral("cbbOpenS"));
    case PortSetting::Flow:
        return m_bar.findChild<QComboBox *>(QStringLiteral("cbbOpenFlow"));
    }
    return nullptr;
}

int TProvisionSettings::PortItemCount(PortSetting box) const
{
    return box == PortSetting::ComName ? 0 : Box(box)->count();
}

std::string TProvisionSettings::PortItem(PortSetting box, int index) const
{
    return box == PortSetting::ComName ? std::string() : Box(box)->itemText(index).toStdString();
}

void TProvisionSettings::SetPortIndex(PortSetting box, int index)
{
    if (box != PortSetting::ComName)
        Box(box)->setCurrentIndex(index);
}

std::string TProvisionSettings::PortText(PortSetting box) const
{
    return box == PortSetting::ComName ? m_bar.PortText() : Box(box)->currentText().toStdString();
}

} // namespace m845
