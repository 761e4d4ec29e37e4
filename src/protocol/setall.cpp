#include "protocol/setall.h"

#include <initializer_list>
#include <string_view>

#include "protocol/valueforms.h"
#include "support/conversions.h"
#include "support/encoding.h"

namespace m845 {

namespace {

// Every value goes out as the device's GBK, unaltered otherwise: nothing trimmed or checked.
void Set(TCmd cmd, std::string_view utf8Value)
{
    QueueAddSet(cmd, Utf8ToGbk(utf8Value));
}

std::string Joined(std::initializer_list<std::string> parts)
{
    std::string out;
    for (const auto &part : parts) {
        if (&part != parts.begin())
            out += ',';
        out += part;
    }
    return out;
}

// The box's text as it stands while its Hex box is ticked, else the hexadecimal of its bytes.
std::string HexData(const IPanel &panel, std::string_view utf8Text, PanelCheck hexBox)
{
    const std::string gbk = Utf8ToGbk(utf8Text);
    return panel.Checked(hexBox) ? gbk : TextToHex(gbk, "");
}

const char *ItemKeyword(const IPanel &panel, PanelCombo box, const char *item0,
                        const char *otherwise)
{
    return panel.ComboIndex(box) == 0 ? item0 : otherwise;
}

struct TSocketRow
{
    PanelCheck enable;
    TCmd en, sock, sl, to;
    PanelCombo protocol, kind;
    PanelEdit addr, port, timeout;
};

constexpr TSocketRow kWrittenSockets[] = {
    {PanelCheck::SktA, TCmd::SOCKAEN, TCmd::SOCKA, TCmd::SOCKASL, TCmd::SOCKATO,
     PanelCombo::ProtocolA, PanelCombo::ASL, PanelEdit::AddrA, PanelEdit::PortA,
     PanelEdit::SockATo},
    {PanelCheck::SktB, TCmd::SOCKBEN, TCmd::SOCKB, TCmd::SOCKBSL, TCmd::SOCKBTO,
     PanelCombo::ProtocolB, PanelCombo::BSL, PanelEdit::AddrB, PanelEdit::PortB,
     PanelEdit::SockBTo},
};

void AddSocketLines(const IPanel &panel)
{
    for (const auto &row : kWrittenSockets) {
        if (!panel.Checked(row.enable)) {
            QueueAddSet(row.en, "OFF");
            continue;
        }
        QueueAddSet(row.en, "ON");
        Set(row.sock, Joined({panel.ComboText(row.protocol), panel.EditText(row.addr),
                              panel.EditText(row.port)}));
        QueueAddSet(row.sl, ItemKeyword(panel, row.kind, "SHORT", "LONG"));
        Set(row.to, panel.EditText(row.timeout));
    }
}

void AddRegistrationLines(const IPanel &panel, bool udc, TCmd identityCmd)
{
    if (!panel.Checked(PanelCheck::RegEn)) {
        QueueAddSet(TCmd::REGEN, "OFF");
        return;
    }
    QueueAddSet(TCmd::REGEN, "ON");
    QueueAddSet(TCmd::REGSND, ItemKeyword(panel, PanelCombo::RegSnd, "LINK", "DATA"));
    if (udc) {
        Set(TCmd::ID, panel.EditText(PanelEdit::UdcId));
        return;
    }
    switch (panel.ComboIndex(PanelCombo::RegTp)) {
    case 0:
        QueueAddSet(TCmd::REGTP, "ICCID");
        break;
    case 1:
        QueueAddSet(TCmd::REGTP, CmdName(identityCmd));
        break;
    case 2:
        QueueAddSet(TCmd::REGTP, "CLOUD");
        Set(TCmd::CLOUD,
            Joined({panel.ComboText(PanelCombo::RegDt), panel.EditText(PanelEdit::CloudPa)}));
        break;
    case 3:
        QueueAddSet(TCmd::REGTP, "USER");
        QueueAddSet(TCmd::REGDT,
                    HexData(panel, panel.ComboText(PanelCombo::RegDt), PanelCheck::RegDtHex));
        break;
    default:
        break;
    }
}

void AddNetLines(const IPanel &panel, bool udc, TCmd identityCmd)
{
    QueueAddSet(TCmd::WKMOD, udc ? "UDC" : "NET");
    AddSocketLines(panel);
    Set(TCmd::SOCKRSTIM, panel.EditText(PanelEdit::SockRsTim));
    if (panel.Checked(PanelCheck::HeartEn)) {
        QueueAddSet(TCmd::HEARTEN, "ON");
        Set(TCmd::HEARTTM, panel.EditText(PanelEdit::HeartTm));
        QueueAddSet(TCmd::HEARTDT,
                    HexData(panel, panel.EditText(PanelEdit::HeartDt), PanelCheck::HeartDtHex));
        QueueAddSet(TCmd::HEARTSND, ItemKeyword(panel, PanelCombo::HeartSnd, "NET", "COM"));
    } else {
        QueueAddSet(TCmd::HEARTEN, "OFF");
    }
    AddRegistrationLines(panel, udc, identityCmd);
    QueueAddSet(TCmd::SOCKIND, OnOffFromCheck(panel, PanelCheck::SOCKIND));
}

void AddHttpdLines(const IPanel &panel)
{
    QueueAddSet(TCmd::WKMOD, "HTTPD");
    Set(TCmd::HTPTP, panel.ComboText(PanelCombo::HTPTP));
    Set(TCmd::HTPURL, panel.EditText(PanelEdit::HTPURL));
    Set(TCmd::HTPSV,
        Joined({panel.EditText(PanelEdit::HTPSVIP), panel.EditText(PanelEdit::HTPSVPort)}));
    Set(TCmd::HTPTO, panel.EditText(PanelEdit::HtpTo));
    Set(TCmd::HTPHD, panel.EditText(PanelEdit::HTPHD));
    QueueAddSet(TCmd::HTPFLT, OnOffFromCheck(panel, PanelCheck::HtpFlt));
}

void AddSmsLines(const IPanel &panel)
{
    QueueAddSet(TCmd::WKMOD, "SMS");
    Set(TCmd::DSTNUM, panel.EditText(PanelEdit::DSTNUM));
    QueueAddSet(TCmd::SMSFLT, OnOffFromCheck(panel, PanelCheck::SMSFLT));
    QueueAddSet(TCmd::SMSPH, OnOffFromCheck(panel, PanelCheck::SMSPH));
}

} // namespace

void BuildSetAll(const IPanel &panel, TCmd identityCmd)
{
    QueueClear();
    switch (WorkModeIndex(panel)) {
    case 0:
        AddNetLines(panel, false, identityCmd);
        break;
    case 3:
        AddNetLines(panel, true, identityCmd);
        break;
    case 1:
        AddHttpdLines(panel);
        break;
    case 2:
        AddSmsLines(panel);
        break;
    default:
        break;
    }
    Set(TCmd::UART, UartText(panel));
    Set(TCmd::UARTFT, panel.EditText(PanelEdit::UARTFT));
    Set(TCmd::UARTFL, panel.EditText(PanelEdit::UARTFL));
    if (panel.Checked(PanelCheck::More)) {
        QueueAddSet(TCmd::E, OnOffFromCheck(panel, PanelCheck::E));
        Set(TCmd::CMDPW, panel.EditText(PanelEdit::CmdPw));
        Set(TCmd::STMSG, panel.EditText(PanelEdit::StMsg));
        Set(TCmd::APN, panel.EditText(PanelEdit::Apn));
        Set(TCmd::RSTIM, panel.EditText(PanelEdit::RsTim));
    }
}

} // namespace m845
