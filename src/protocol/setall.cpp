#include "protocol/setall.h"

#include "protocol/parameters.h"
#include "protocol/valueforms.h"
#include "support/encoding.h"

namespace m845 {

namespace {

// One set line with the panel's value in the parameter table's form; nothing trimmed or
// checked, the device's GBK on the wire.
class TSetList
{
public:
    TSetList(const IPanel &panel, TCmd identityCmd)
        : m_panel(panel)
        , m_identityCmd(identityCmd)
    {}

    void Add(TCmd cmd) const
    {
        if (const auto value = PanelValue(m_panel, cmd, m_identityCmd))
            QueueAddSet(cmd, Utf8ToGbk(*value));
    }
    [[nodiscard]] bool Checked(PanelCheck box) const { return m_panel.Checked(box); }

private:
    const IPanel &m_panel;
    TCmd m_identityCmd;
};

struct TSocketRow
{
    PanelCheck enable;
    TCmd en, sock, sl, to;
};

constexpr TSocketRow kWrittenSockets[] = {
    {PanelCheck::SktA, TCmd::SOCKAEN, TCmd::SOCKA, TCmd::SOCKASL, TCmd::SOCKATO},
    {PanelCheck::SktB, TCmd::SOCKBEN, TCmd::SOCKB, TCmd::SOCKBSL, TCmd::SOCKBTO},
};

void AddSocketLines(const TSetList &list)
{
    for (const auto &row : kWrittenSockets) {
        list.Add(row.en);
        if (!list.Checked(row.enable))
            continue;
        list.Add(row.sock);
        list.Add(row.sl);
        list.Add(row.to);
    }
}

void AddRegistrationLines(const IPanel &panel, const TSetList &list, bool udc)
{
    list.Add(TCmd::REGEN);
    if (!panel.Checked(PanelCheck::RegEn))
        return;
    list.Add(TCmd::REGSND);
    if (udc) {
        list.Add(TCmd::ID);
        return;
    }
    // No type selected writes no type.
    list.Add(TCmd::REGTP);
    switch (panel.ComboIndex(PanelCombo::RegTp)) {
    case 2:
        list.Add(TCmd::CLOUD);
        break;
    case 3:
        list.Add(TCmd::REGDT);
        break;
    default:
        break;
    }
}

void AddNetLines(const IPanel &panel, const TSetList &list, bool udc)
{
    list.Add(TCmd::WKMOD);
    AddSocketLines(list);
    list.Add(TCmd::SOCKRSTIM);
    list.Add(TCmd::HEARTEN);
    if (panel.Checked(PanelCheck::HeartEn)) {
        list.Add(TCmd::HEARTTM);
        list.Add(TCmd::HEARTDT);
        list.Add(TCmd::HEARTSND);
    }
    AddRegistrationLines(panel, list, udc);
    list.Add(TCmd::SOCKIND);
}

} // namespace

void BuildSetAll(const IPanel &panel, TCmd identityCmd)
{
    QueueClear();
    const TSetList list(panel, identityCmd);
    switch (WorkModeIndex(panel)) {
    case 0:
        AddNetLines(panel, list, false);
        break;
    case 3:
        AddNetLines(panel, list, true);
        break;
    case 1:
        for (TCmd cmd : {TCmd::WKMOD, TCmd::HTPTP, TCmd::HTPURL, TCmd::HTPSV, TCmd::HTPTO,
                         TCmd::HTPHD, TCmd::HTPFLT})
            list.Add(cmd);
        break;
    case 2:
        for (TCmd cmd : {TCmd::WKMOD, TCmd::DSTNUM, TCmd::SMSFLT, TCmd::SMSPH})
            list.Add(cmd);
        break;
    default:
        break;
    }
    for (TCmd cmd : {TCmd::UART, TCmd::UARTFT, TCmd::UARTFL})
        list.Add(cmd);
    if (panel.Checked(PanelCheck::More)) {
        for (TCmd cmd : {TCmd::E, TCmd::CMDPW, TCmd::STMSG, TCmd::APN, TCmd::RSTIM})
            list.Add(cmd);
    }
}

} // namespace m845
