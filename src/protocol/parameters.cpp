#include "protocol/parameters.h"

#include <array>

#include "protocol/valueforms.h"
#include "support/conversions.h"
#include "support/encoding.h"

namespace m845 {

namespace {

using F = TValueForm;
using C = TCompare;

constexpr std::uint8_t kNever = 0;
constexpr std::uint8_t kNet = kModeNet;

// clang-format off
constexpr TParameter kParameters[] = {
    // cmd             form         control                              read   written       adv    readable section   key          compare
    {TCmd::VER,       F::Report,   "",                                  true,  kNever,       false, true,  "",        "",          C::Exact},
    {TCmd::E,         F::Switch,   "rzchckbxE",                         true,  kEveryMode,   true,  true,  "Base",    "E",         C::Exact},
    {TCmd::WKMOD,     F::Keyword,  "rbNetTran,rbHttpd,rbSmsTran,rbUdc", true,  kEveryMode & ~kModeNone, false, true, "WKMOD", "WKMOD", C::WorkMode},
    {TCmd::CMDPW,     F::Text,     "lbledtCmdPw",                       true,  kEveryMode,   true,  true,  "Base",    "CMDPW",     C::Exact},
    {TCmd::STMSG,     F::Text,     "lbledtStMsg",                       true,  kEveryMode,   true,  true,  "Base",    "STMSG",     C::Exact},
    {TCmd::RSTIM,     F::Text,     "lbledtRsTim",                       true,  kEveryMode,   true,  true,  "Base",    "RSTIM",     C::Exact},
    {TCmd::SN,        F::Report,   "",                                  true,  kNever,       false, true,  "",        "",          C::Exact},
    {TCmd::ICCID,     F::Text,     "cbbRegDt",                          true,  kNever,       false, true,  "Reg",     "ICCID",     C::Exact},
    // The identity: asked as MEID or IMEI by the hardware variant, kept under one key.
    {TCmd::MEID,      F::Text,     "cbbRegDt",                          true,  kNever,       false, true,  "Reg",     "MEID",      C::Exact},
    {TCmd::UART,      F::Compound, "cbbBaud,cbbD,cbbS,cbbP,cbbFlow",    true,  kEveryMode,   false, true,  "Base",    "UART",      C::FieldsPrefix},
    {TCmd::UARTFT,    F::Text,     "edtUARTFT",                         true,  kEveryMode,   false, true,  "Base",    "UARTFT",    C::Exact},
    {TCmd::UARTFL,    F::Text,     "edtUARTFL",                         true,  kEveryMode,   false, true,  "Base",    "UARTFL",    C::Exact},
    {TCmd::APN,       F::Text,     "lbledtApn",                         true,  kEveryMode,   true,  true,  "Base",    "APN",       C::Exact},
    {TCmd::SOCKA,     F::Compound, "cbbProtocolA,edtAddrA,edtPortA",    true,  kNetOrUdc,    false, true,  "Socket",  "SOCKA",     C::Fields},
    {TCmd::SOCKB,     F::Compound, "cbbProtocolB,edtAddrB,edtPortB",    true,  kNetOrUdc,    false, true,  "Socket",  "SOCKB",     C::Fields},
    {TCmd::SOCKAEN,   F::Switch,   "rzchckbxSktA",                      true,  kNetOrUdc,    false, true,  "Socket",  "SOCKAEN",   C::Exact},
    {TCmd::SOCKBEN,   F::Switch,   "rzchckbxSktB",                      true,  kNetOrUdc,    false, true,  "Socket",  "SOCKBEN",   C::Exact},
    {TCmd::SOCKASL,   F::Keyword,  "cbbASL",                            true,  kNetOrUdc,    false, true,  "Socket",  "SOCKASL",   C::Exact},
    {TCmd::SOCKBSL,   F::Keyword,  "cbbBSL",                            true,  kNetOrUdc,    false, true,  "Socket",  "SOCKBSL",   C::Exact},
    {TCmd::SOCKALK,   F::Report,   "",                                  true,  kNever,       false, true,  "",        "",          C::Exact},
    {TCmd::SOCKBLK,   F::Report,   "",                                  true,  kNever,       false, true,  "",        "",          C::Exact},
    {TCmd::SOCKATO,   F::Text,     "edtSockATo",                        true,  kNetOrUdc,    false, true,  "Socket",  "SOCKATO",   C::Exact},
    {TCmd::SOCKBTO,   F::Text,     "edtSockBTo",                        true,  kNetOrUdc,    false, true,  "Socket",  "SOCKBTO",   C::Exact},
    {TCmd::SOCKIND,   F::Switch,   "rzchckbxSOCKIND",                   true,  kNetOrUdc,    false, true,  "Socket",  "SOCKIND",   C::Exact},
    {TCmd::SOCKRSTIM, F::Text,     "lbledtSockRsTim",                   true,  kNetOrUdc,    false, true,  "Socket",  "SOCKRSTIM", C::Exact},
    {TCmd::REGEN,     F::Switch,   "rzchckbxRegEn",                     true,  kNetOrUdc,    false, true,  "Reg",     "REGEN",     C::Exact},
    {TCmd::REGTP,     F::Keyword,  "cbbRegTp",                          true,  kNet,         false, true,  "Reg",     "REGTP",     C::RegType},
    {TCmd::REGDT,     F::HexData,  "cbbRegDt",                          true,  kNet,         false, true,  "Reg",     "REGDT",     C::Exact},
    {TCmd::REGSND,    F::Keyword,  "cbbRegSnd",                         true,  kNetOrUdc,    false, true,  "Reg",     "REGSND",    C::Exact},
    {TCmd::CLOUD,     F::Compound, "cbbRegDt,edtCloudPa",               true,  kNet,         false, true,  "Reg",     "CLOUD",     C::Exact},
    {TCmd::ID,        F::Text,     "edtUdcId",                          true,  kModeUdc,     false, true,  "UDC",     "ID",        C::Exact},
    {TCmd::HEARTEN,   F::Switch,   "rzchckbxHeartEn",                   true,  kNetOrUdc,    false, true,  "Heart",   "HEARTEN",   C::Exact},
    {TCmd::HEARTDT,   F::HexData,  "edtHeartDt",                        true,  kNetOrUdc,    false, true,  "Heart",   "HEARTDT",   C::Exact},
    {TCmd::HEARTSND,  F::Keyword,  "cbbHeartSnd",                       true,  kNetOrUdc,    false, true,  "Heart",   "HEARTSND",  C::Exact},
    {TCmd::HEARTTM,   F::Text,     "edtHeartTm",                        true,  kNetOrUdc,    false, true,  "Heart",   "HEARTTM",   C::Exact},
    {TCmd::HTPTP,     F::Keyword,  "cbbHTPTP",                          true,  kModeHttpd,   false, true,  "HTTPD",   "HTPTP",     C::NoCase},
    {TCmd::HTPURL,    F::Text,     "edtHTPURL",                         true,  kModeHttpd,   false, true,  "HTTPD",   "HTPURL",    C::Exact},
    {TCmd::HTPSV,     F::Compound, "edtHTPSVIP,edtHTPSVPort",           true,  kModeHttpd,   false, true,  "HTTPD",   "HTPSV",     C::Exact},
    {TCmd::HTPHD,     F::Text,     "edtHTPHD",                          true,  kModeHttpd,   false, true,  "HTTPD",   "HTPHD",     C::Exact},
    {TCmd::HTPTO,     F::Text,     "edtHtpTo",                          true,  kModeHttpd,   false, true,  "HTTPD",   "HTPTO",     C::Exact},
    {TCmd::HTPFLT,    F::Switch,   "rzchckbxHtpFlt",                    true,  kModeHttpd,   false, true,  "HTTPD",   "HTPFLT",    C::Exact},
    // Never asked for by the read-all.
    {TCmd::DSTNUM,    F::Text,     "edtDSTNUM",                         false, kModeSms,     false, true,  "SMS",     "DSTNUM",    C::Exact},
    {TCmd::SMSFLT,    F::Switch,   "rzchckbxSMSFLT",                    false, kModeSms,     false, true,  "SMS",     "SMSFLT",    C::Exact},
    {TCmd::SMSPH,     F::Switch,   "rzchckbxSMSPH",                     false, kModeSms,     false, true,  "SMS",     "SMSPH",     C::Exact},
    {TCmd::IMEI,      F::Text,     "cbbRegDt",                          false, kNever,       false, true,  "Reg",     "MEID",      C::Exact},
    {TCmd::RFCEN,     F::Switch,   "rzchckbxRFC",                       false, kNever,       false, true,  "Base",    "RFCEN",     C::Exact},
    {TCmd::SOCKC,     F::Compound, "cbbProtocolC,edtAddrC,edtPortC",    false, kNever,       false, true,  "Socket",  "SOCKC",     C::Fields},
    {TCmd::SOCKD,     F::Compound, "cbbProtocolD,edtAddrD,edtPortD",    false, kNever,       false, true,  "Socket",  "SOCKD",     C::Fields},
    {TCmd::SOCKCEN,   F::Switch,   "rzchckbxSktC",                      false, kNever,       false, true,  "Socket",  "SOCKCEN",   C::Exact},
    {TCmd::SOCKDEN,   F::Switch,   "rzchckbxSktD",                      false, kNever,       false, true,  "Socket",  "SOCKDEN",   C::Exact},
    {TCmd::SOCKCSL,   F::Keyword,  "cbbCSL",                            false, kNever,       false, true,  "Socket",  "SOCKCSL",   C::Exact},
    {TCmd::SOCKDSL,   F::Keyword,  "cbbDSL",                            false, kNever,       false, true,  "Socket",  "SOCKDSL",   C::Exact},
    {TCmd::SOCKCTO,   F::Text,     "edtSockCTo",                        false, kNever,       false, true,  "Socket",  "SOCKCTO",   C::Exact},
    {TCmd::SOCKDTO,   F::Text,     "edtSockDTo",                        false, kNever,       false, true,  "Socket",  "SOCKDTO",   C::Exact},
};
// clang-format on

struct TSocketControls
{
    TCmd sock, en, sl, to;
    PanelCheck enable;
    PanelCombo protocol, kind;
    PanelEdit addr, port, timeOut;
};

constexpr std::array<TSocketControls, 4> kSockets{{
    {TCmd::SOCKA, TCmd::SOCKAEN, TCmd::SOCKASL, TCmd::SOCKATO, PanelCheck::SktA,
     PanelCombo::ProtocolA, PanelCombo::ASL, PanelEdit::AddrA, PanelEdit::PortA,
     PanelEdit::SockATo},
    {TCmd::SOCKB, TCmd::SOCKBEN, TCmd::SOCKBSL, TCmd::SOCKBTO, PanelCheck::SktB,
     PanelCombo::ProtocolB, PanelCombo::BSL, PanelEdit::AddrB, PanelEdit::PortB,
     PanelEdit::SockBTo},
    {TCmd::SOCKC, TCmd::SOCKCEN, TCmd::SOCKCSL, TCmd::SOCKCTO, PanelCheck::SktC,
     PanelCombo::ProtocolC, PanelCombo::CSL, PanelEdit::AddrC, PanelEdit::PortC,
     PanelEdit::SockCTo},
    {TCmd::SOCKD, TCmd::SOCKDEN, TCmd::SOCKDSL, TCmd::SOCKDTO, PanelCheck::SktD,
     PanelCombo::ProtocolD, PanelCombo::DSL, PanelEdit::AddrD, PanelEdit::PortD,
     PanelEdit::SockDTo},
}};

std::string Joined(std::string a, std::string_view b)
{
    a += ',';
    a += b;
    return a;
}

// Item 0's word, or the other word for any other selection, as the write-all sends it.
std::string ItemWord(const IPanel &panel, PanelCombo box, std::string_view item0,
                     std::string_view otherwise)
{
    return std::string(panel.ComboIndex(box) == 0 ? item0 : otherwise);
}

// The box's text as it stands while its Hex box is ticked, else the hexadecimal of its bytes.
std::string HexData(const IPanel &panel, const std::string &utf8Text, PanelCheck hexBox)
{
    return panel.Checked(hexBox) ? utf8Text : TextToHex(Utf8ToGbk(utf8Text), "");
}

// A registration data entry: the field while its type is the selected one (what was typed
// shows there), the stored entry otherwise.
std::string RegData(const IPanel &panel, int entry)
{
    return panel.ComboIndex(PanelCombo::RegTp) == entry ? panel.ComboText(PanelCombo::RegDt)
                                                        : panel.ComboItem(PanelCombo::RegDt, entry);
}

std::optional<std::string> SocketValue(const IPanel &panel, TCmd cmd)
{
    for (const TSocketControls &s : kSockets) {
        if (cmd == s.sock)
            return Joined(Joined(panel.ComboText(s.protocol), panel.EditText(s.addr)),
                          panel.EditText(s.port));
        if (cmd == s.en)
            return OnOffFromCheck(panel, s.enable);
        if (cmd == s.sl)
            return ItemWord(panel, s.kind, "SHORT", "LONG");
        if (cmd == s.to)
            return panel.EditText(s.timeOut);
    }
    return std::nullopt;
}

} // namespace

std::uint8_t ModeBit(int workModeIndex)
{
    switch (workModeIndex) {
    case 0:
        return kModeNet;
    case 1:
        return kModeHttpd;
    case 2:
        return kModeSms;
    case 3:
        return kModeUdc;
    default:
        return kModeNone;
    }
}

std::span<const TParameter> Parameters()
{
    return kParameters;
}

const TParameter *FindParameter(TCmd cmd)
{
    for (const TParameter &p : kParameters) {
        if (p.cmd == cmd)
            return &p;
    }
    return nullptr;
}

bool IsIdentity(TCmd cmd)
{
    return cmd == TCmd::MEID || cmd == TCmd::IMEI;
}

std::vector<TCmd> ReadAllRest(TCmd identityCmd)
{
    std::vector<TCmd> out;
    for (const TParameter &p : kParameters) {
        if (p.readAll && p.cmd != TCmd::VER)
            out.push_back(IsIdentity(p.cmd) ? identityCmd : p.cmd);
    }
    return out;
}

std::vector<TCmd> WrittenButNotReadAll(int workModeIndex)
{
    std::vector<TCmd> out;
    const std::uint8_t bit = ModeBit(workModeIndex);
    for (const TParameter &p : kParameters) {
        if ((p.writtenIn & bit) != 0 && !p.readAll && p.readable)
            out.push_back(p.cmd);
    }
    return out;
}

std::optional<std::string> PanelValue(const IPanel &panel, TCmd cmd, TCmd identityCmd)
{
    if (auto socket = SocketValue(panel, cmd))
        return socket;
    switch (cmd) {
    case TCmd::E:
        return OnOffFromCheck(panel, PanelCheck::E);
    case TCmd::WKMOD: {
        constexpr std::array<std::string_view, 4> words = {"NET", "HTTPD", "SMS", "UDC"};
        const int mode = WorkModeIndex(panel);
        if (mode >= 4)
            return std::nullopt;
        return std::string(words[static_cast<std::size_t>(mode)]);
    }
    case TCmd::CMDPW:
        return panel.EditText(PanelEdit::CmdPw);
    case TCmd::STMSG:
        return panel.EditText(PanelEdit::StMsg);
    case TCmd::RSTIM:
        return panel.EditText(PanelEdit::RsTim);
    case TCmd::ICCID:
        return RegData(panel, 0);
    case TCmd::MEID:
    case TCmd::IMEI:
        return RegData(panel, 1);
    case TCmd::UART:
        return UartText(panel);
    case TCmd::UARTFT:
        return panel.EditText(PanelEdit::UARTFT);
    case TCmd::UARTFL:
        return panel.EditText(PanelEdit::UARTFL);
    case TCmd::APN:
        return panel.EditText(PanelEdit::Apn);
    case TCmd::RFCEN:
        return OnOffFromCheck(panel, PanelCheck::RFC);
    case TCmd::SOCKIND:
        return OnOffFromCheck(panel, PanelCheck::SOCKIND);
    case TCmd::SOCKRSTIM:
        return panel.EditText(PanelEdit::SockRsTim);
    case TCmd::REGEN:
        return OnOffFromCheck(panel, PanelCheck::RegEn);
    case TCmd::REGTP:
        switch (panel.ComboIndex(PanelCombo::RegTp)) {
        case 0:
            return std::string("ICCID");
        case 1:
            return std::string(CmdName(identityCmd));
        case 2:
            return std::string("CLOUD");
        case 3:
            return std::string("USER");
        default:
            return std::nullopt;
        }
    case TCmd::REGDT:
        return HexData(panel, RegData(panel, 3), PanelCheck::RegDtHex);
    case TCmd::REGSND:
        return ItemWord(panel, PanelCombo::RegSnd, "LINK", "DATA");
    case TCmd::CLOUD:
        return Joined(RegData(panel, 2), panel.EditText(PanelEdit::CloudPa));
    case TCmd::ID:
        return panel.EditText(PanelEdit::UdcId);
    case TCmd::HEARTEN:
        return OnOffFromCheck(panel, PanelCheck::HeartEn);
    case TCmd::HEARTDT:
        return HexData(panel, panel.EditText(PanelEdit::HeartDt), PanelCheck::HeartDtHex);
    case TCmd::HEARTSND:
        return ItemWord(panel, PanelCombo::HeartSnd, "NET", "COM");
    case TCmd::HEARTTM:
        return panel.EditText(PanelEdit::HeartTm);
    case TCmd::HTPTP:
        return panel.ComboText(PanelCombo::HTPTP);
    case TCmd::HTPURL:
        return panel.EditText(PanelEdit::HTPURL);
    case TCmd::HTPSV:
        return Joined(panel.EditText(PanelEdit::HTPSVIP), panel.EditText(PanelEdit::HTPSVPort));
    case TCmd::HTPHD:
        return panel.EditText(PanelEdit::HTPHD);
    case TCmd::HTPTO:
        return panel.EditText(PanelEdit::HtpTo);
    case TCmd::HTPFLT:
        return OnOffFromCheck(panel, PanelCheck::HtpFlt);
    case TCmd::DSTNUM:
        return panel.EditText(PanelEdit::DSTNUM);
    case TCmd::SMSFLT:
        return OnOffFromCheck(panel, PanelCheck::SMSFLT);
    case TCmd::SMSPH:
        return OnOffFromCheck(panel, PanelCheck::SMSPH);
    default:
        return std::nullopt;
    }
}

} // namespace m845
