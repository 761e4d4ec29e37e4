#include "config/config.h"

#include <algorithm>
#include <array>

#include "config/inifile.h"
#include "core/panel.h"
#include "core/toolsettings.h"
#include "protocol/commands.h"
#include "protocol/reply.h"
#include "protocol/setall.h"
#include "protocol/valueforms.h"
#include "support/conversions.h"
#include "support/encoding.h"

namespace m845 {

namespace {

constexpr std::string_view kSystem = "System";
constexpr std::string_view kOpenUart = "OpenUart";
constexpr std::string_view kWkmod = "WKMOD";
constexpr std::string_view kSocket = "Socket";
constexpr std::string_view kHeart = "Heart";
constexpr std::string_view kReg = "Reg";
constexpr std::string_view kHttpd = "HTTPD";
constexpr std::string_view kSms = "SMS";
constexpr std::string_view kBase = "Base";
// The program's own sections, written after all others so theirs keep their order.
constexpr std::string_view kSession = "Session";
// The UDC identifier has no key of the original form; without one it would be lost at every
// close and a write-all after the next start would send an empty identifier.
constexpr std::string_view kUdc = "UDC";

struct TSocketKeys
{
    std::string_view enable, socket, kind, timeOut;
    TCmd socketCmd, kindCmd;
    PanelCheck enableBox;
    PanelCombo kindBox, protocolBox;
    PanelEdit addr, port, timeOutBox;
};

constexpr std::array<TSocketKeys, 4> kSockets{{
    {"SOCKAEN", "SOCKA", "SOCKASL", "SOCKATO", TCmd::SOCKA, TCmd::SOCKASL, PanelCheck::SktA,
     PanelCombo::ASL, PanelCombo::ProtocolA, PanelEdit::AddrA, PanelEdit::PortA,
     PanelEdit::SockATo},
    {"SOCKBEN", "SOCKB", "SOCKBSL", "SOCKBTO", TCmd::SOCKB, TCmd::SOCKBSL, PanelCheck::SktB,
     PanelCombo::BSL, PanelCombo::ProtocolB, PanelEdit::AddrB, PanelEdit::PortB,
     PanelEdit::SockBTo},
    {"SOCKCEN", "SOCKC", "SOCKCSL", "SOCKCTO", TCmd::SOCKC, TCmd::SOCKCSL, PanelCheck::SktC,
     PanelCombo::CSL, PanelCombo::ProtocolC, PanelEdit::AddrC, PanelEdit::PortC,
     PanelEdit::SockCTo},
    {"SOCKDEN", "SOCKD", "SOCKDSL", "SOCKDTO", TCmd::SOCKD, TCmd::SOCKDSL, PanelCheck::SktD,
     PanelCombo::DSL, PanelCombo::ProtocolD, PanelEdit::AddrD, PanelEdit::PortD,
     PanelEdit::SockDTo},
}};

struct TPortKey
{
    std::string_view key;
    PortSetting box;
    std::string_view fallback;
};

constexpr std::array<TPortKey, 5> kPortKeys{{
    {"BaudRate", PortSetting::BaudRate, "115200"},
    {"Parity", PortSetting::Parity, "NONE"},
    {"Data", PortSetting::Data, "8"},
    {"Stop", PortSetting::Stop, "1"},
    {"Flow", PortSetting::Flow, "NONE"},
}};

constexpr std::array<std::string_view, 5> kWorkModeWords = {"NET", "HTTPD", "SMS", "UDC", ""};
constexpr std::array<std::string_view, 4> kRegTypeWords = {"ICCID", "MEID", "CLOUD", "USER"};
constexpr std::array<std::string_view, 4> kRegDataKeys = {"ICCID", "MEID", "CLOUD", "REGDT"};

// A file written by the GBK-era program still reads right.
std::string Text(const TIniFile &ini, std::string_view section, std::string_view key,
                 std::string_view fallback)
{
    std::string value = ini.ReadString(section, key, fallback);
    return IsValidUtf8(value) ? value : GbkToUtf8(value);
}

void SelectPortText(ILinkSettings &link, PortSetting box, std::string_view text)
{
    const int count = link.PortItemCount(box);
    for (int i = 0; i < count; ++i) {
        if (EqualsNoCase(link.PortItem(box, i), text)) {
            link.SetPortIndex(box, i);
            return;
        }
    }
    link.SetPortIndex(box, -1);
}

// Item 0 or 1 of a two-word list as its word; nothing when no item is selected.
void WriteChoice(TIniFile &ini, std::string_view section, std::string_view key, const IPanel &panel,
                 PanelCombo box, std::string_view item0, std::string_view item1)
{
    const int index = panel.ComboIndex(box);
    if (index == 0 || index == 1)
        ini.WriteString(section, key, index == 0 ? item0 : item1);
}

void LoadToolSystem(const TIniFile &ini, IToolSettings &tool)
{
    tool.SetCustom(ini.ReadBool(kSystem, "Custom", false));
    tool.SetChinese(ini.ReadBool(kSystem, "Language", tool.SystemIsChinese()));
    tool.SetRealTimeHelp(ini.ReadBool(kSystem, "ReadTimeHelp", true));
    if (const int tag = ini.ReadInteger(kSystem, "SendShortCutTag", 2); tag == 1 || tag == 2)
        tool.ChooseSendKey(tag);
}

void LoadPanelSystem(const TIniFile &ini, IPanel &panel, TReplyApplier &device)
{
    // The Hex boxes go first, while the data boxes are still empty.
    CheckFromOnOff(panel, PanelCheck::HeartDtHex, Text(ini, kSystem, "HeartDtHex", "ON"));
    CheckFromOnOff(panel, PanelCheck::RegDtHex, Text(ini, kSystem, "RegDtHex", "ON"));
    CheckFromOnOff(panel, PanelCheck::More, Text(ini, kSystem, "ShowMore", "OFF"));
    // A name that is no member is kept as it is, out of range, until a device sets the variant.
    device.LoadHardwareSign(static_cast<THdVerSign>(HdVerSignFromName(Text(
        ini, kSystem, "HdVerSign",
        HdVerSignName(static_cast<std::uint8_t>(device.HardwareSign()))))));
}

void LoadOpenUart(const TIniFile &ini, ILinkSettings &link)
{
    link.FillPortList();
    if (link.PortItemCount(PortSetting::ComName) > 0) {
        const std::string first = link.PortItem(PortSetting::ComName, 0);
        SelectPortText(link, PortSetting::ComName, Text(ini, kOpenUart, "ComName", first));
    }
    for (const TPortKey &k : kPortKeys)
        SelectPortText(link, k.box, Text(ini, kOpenUart, k.key, k.fallback));
}

void LoadSockets(const TIniFile &ini, IPanel &panel)
{
    for (std::size_t row = 0; row < kSockets.size(); ++row) {
        const TSocketKeys &s = kSockets[row];
        CheckFromOnOff(panel, s.enableBox, Text(ini, kSocket, s.enable, row == 0 ? "ON" : "OFF"));
        SetSocketFromText(panel, s.socketCmd, Text(ini, kSocket, s.socket, ""));
        SetChoiceFromText(panel, s.kindCmd, s.kindBox, Text(ini, kSocket, s.kind, "LONG"));
        // Once more after the kind: a UDP row ends "LONG" and hidden whatever was stored.
        panel.ProtocolChange(static_cast<int>(row));
        panel.SetEditText(s.timeOutBox, Text(ini, kSocket, s.timeOut, "5"));
    }
    CheckFromOnOff(panel, PanelCheck::SOCKIND, Text(ini, kSocket, "SOCKIND", "OFF"));
    panel.SetEditText(PanelEdit::SockRsTim, Text(ini, kSocket, "SOCKRSTIM", "60"));
}

void LoadHeartAndReg(const TIniFile &ini, IPanel &panel)
{
    CheckFromOnOff(panel, PanelCheck::HeartEn, Text(ini, kHeart, "HEARTEN", "ON"));
    // Stored as shown: the Hex box is left alone.
    panel.SetEditText(PanelEdit::HeartDt,
                      Text(ini, kHeart, "HEARTDT", TextToHex(kDefaultHeartHost, "")));
    SetChoiceFromText(panel, TCmd::HEARTSND, PanelCombo::HeartSnd,
                      Text(ini, kHeart, "HEARTSND", "NET"));
    panel.SetEditText(PanelEdit::HeartTm, Text(ini, kHeart, "HEARTTM", "30"));

    CheckFromOnOff(panel, PanelCheck::RegEn, Text(ini, kReg, "REGEN", "OFF"));
    // "REGDT" names no type: the type stays as it is, user data at start.
    SetChoiceFromText(panel, TCmd::REGTP, PanelCombo::RegTp, Text(ini, kReg, "REGTP", "REGDT"));
    SetChoiceFromText(panel, TCmd::ICCID, PanelCombo::RegDt, Text(ini, kReg, "ICCID", ""));
    SetChoiceFromText(panel, TCmd::MEID, PanelCombo::RegDt, Text(ini, kReg, "MEID", ""));
    SetChoiceFromText(panel, TCmd::CLOUD, PanelCombo::RegDt, Text(ini, kReg, "CLOUD", ""));
    SetChoiceFromText(panel, TCmd::REGDT, PanelCombo::RegDt,
                      Text(ini, kReg, "REGDT", TextToHex(kDefaultRegHost, "")));
    SetChoiceFromText(panel, TCmd::REGSND, PanelCombo::RegSnd, Text(ini, kReg, "REGSND", "LINK"));
}

void LoadHttpdSmsBase(const TIniFile &ini, IPanel &panel)
{
    SelectComboText(panel, PanelCombo::HTPTP, Text(ini, kHttpd, "HTPTP", "POST"));
    panel.SetEditText(PanelEdit::HTPURL, Text(ini, kHttpd, "HTPURL", "/1.php[3F]"));
    SetListFromText(panel, TCmd::HTPSV, Text(ini, kHttpd, "HTPSV", kDefaultHttpServer));
    panel.SetEditText(PanelEdit::HTPHD, Text(ini, kHttpd, "HTPHD", "Connection: close[0D][0A]"));
    CheckFromOnOff(panel, PanelCheck::HtpFlt, Text(ini, kHttpd, "HTPFLT", "ON"));
    panel.SetEditText(PanelEdit::HtpTo, Text(ini, kHttpd, "HTPTO", "10"));

    panel.SetEditText(PanelEdit::DSTNUM, Text(ini, kSms, "DSTNUM", "10086"));
    CheckFromOnOff(panel, PanelCheck::SMSFLT, Text(ini, kSms, "SMSFLT", "ON"));
    CheckFromOnOff(panel, PanelCheck::SMSPH, Text(ini, kSms, "SMSPH", "OFF"));

    SetListFromText(panel, TCmd::APN, Text(ini, kBase, "APN", "CMNET,,,0"));
    SetListFromText(panel, TCmd::UART, Text(ini, kBase, "UART", "115200,8,1,NONE,NFC"));
    CheckFromOnOff(panel, PanelCheck::RFC, Text(ini, kBase, "RFCEN", "OFF"));
    panel.SetEditText(PanelEdit::UARTFT, Text(ini, kBase, "UARTFT", "50"));
    panel.SetEditText(PanelEdit::UARTFL, Text(ini, kBase, "UARTFL", "1024"));
    CheckFromOnOff(panel, PanelCheck::E, Text(ini, kBase, "E", "ON"));
    panel.SetEditText(PanelEdit::CmdPw, Text(ini, kBase, "CMDPW", "vorbe"));
    panel.SetEditText(PanelEdit::StMsg, Text(ini, kBase, "STMSG", "[ZLM-M845]"));
    panel.SetEditText(PanelEdit::RsTim, Text(ini, kBase, "RSTIM", "1800"));
}


void SaveSocketsHeartReg(TIniFile &ini, const IPanel &panel)
{
    for (std::size_t row = 0; row < kSockets.size(); ++row) {
        const TSocketKeys &s = kSockets[row];
        ini.WriteString(kSocket, s.enable, OnOffFromCheck(panel, s.enableBox));
        ini.WriteString(kSocket, s.socket,
                        panel.ComboText(s.protocolBox) + "," + panel.EditText(s.addr) + ","
                            + panel.EditText(s.port));
        WriteChoice(ini, kSocket, s.kind, panel, s.kindBox, "SHORT", "LONG");
        ini.WriteString(kSocket, s.timeOut, panel.EditText(s.timeOutBox));
        if (row == 2)
            ini.WriteString(kSocket, "SOCKIND", OnOffFromCheck(panel, PanelCheck::SOCKIND));
    }
    ini.WriteString(kSocket, "SOCKRSTIM", panel.EditText(PanelEdit::SockRsTim));

    ini.WriteString(kHeart, "HEARTEN", OnOffFromCheck(panel, PanelCheck::HeartEn));
    ini.WriteString(kHeart, "HEARTDT", panel.EditText(PanelEdit::HeartDt));
    WriteChoice(ini, kHeart, "HEARTSND", panel, PanelCombo::HeartSnd, "NET", "COM");
    ini.WriteString(kHeart, "HEARTTM", panel.EditText(PanelEdit::HeartTm));

    ini.WriteString(kReg, "REGEN", OnOffFromCheck(panel, PanelCheck::RegEn));
    // Only the selected type's data: the other data keys keep what the file held.
    if (const int type = panel.ComboIndex(PanelCombo::RegTp); type >= 0 && type <= 3) {
        const auto t = static_cast<std::size_t>(type);
        ini.WriteString(kReg, "REGTP", kRegTypeWords[t]);
        std::string data = panel.ComboText(PanelCombo::RegDt);
        if (type == 2)
            data += "," + panel.EditText(PanelEdit::CloudPa);
        ini.WriteString(kReg, kRegDataKeys[t], data);
    }
    WriteChoice(ini, kReg, "REGSND", panel, PanelCombo::RegSnd, "LINK", "DATA");
}


void SaveToolSystem(TIniFile &ini, const IToolSettings &tool)
{
    ini.WriteBool(kSystem, "Language", tool.IsChinese());
    ini.WriteBool(kSystem, "ReadTimeHelp", tool.RealTimeHelp());
    if (const int tag = tool.SendKeyTag(); tag == 1 || tag == 2)
        ini.WriteInteger(kSystem, "SendShortCutTag", tag);
}

void SavePanelSystem(TIniFile &ini, const IPanel &panel, const TReplyApplier &device)
{
    ini.WriteString(kSystem, "HeartDtHex", OnOffFromCheck(panel, PanelCheck::HeartDtHex));
    ini.WriteString(kSystem, "RegDtHex", OnOffFromCheck(panel, PanelCheck::RegDtHex));
    ini.WriteString(kSystem, "ShowMore", OnOffFromCheck(panel, PanelCheck::More));
    ini.WriteString(kSystem, "HdVerSign",
                    HdVerSignName(static_cast<std::uint8_t>(device.HardwareSign())));
}

void SaveOpenUart(TIniFile &ini, const ILinkSettings &link)
{
    ini.WriteString(kOpenUart, "ComName", link.PortText(PortSetting::ComName));
    for (const TPortKey &k : kPortKeys)
        ini.WriteString(kOpenUart, k.key, link.PortText(k.box));
}

// From the work mode to the end of the [Base] parameters.
void SaveDeviceSections(TIniFile &ini, const IPanel &panel)
{
    if (const int mode = WorkModeIndex(panel); mode < 4)
        ini.WriteString(kWkmod, "WKMOD", kWorkModeWords[static_cast<std::size_t>(mode)]);

    SaveSocketsHeartReg(ini, panel);

    ini.WriteString(kHttpd, "HTPTP", panel.ComboText(PanelCombo::HTPTP));
    ini.WriteString(kHttpd, "HTPURL", panel.EditText(PanelEdit::HTPURL));
    ini.WriteString(kHttpd, "HTPSV",
                    panel.EditText(PanelEdit::HTPSVIP) + ","
                        + panel.EditText(PanelEdit::HTPSVPort));
    ini.WriteString(kHttpd, "HTPHD", panel.EditText(PanelEdit::HTPHD));
    ini.WriteString(kHttpd, "HTPFLT", OnOffFromCheck(panel, PanelCheck::HtpFlt));
    ini.WriteString(kHttpd, "HTPTO", panel.EditText(PanelEdit::HtpTo));

    ini.WriteString(kSms, "DSTNUM", panel.EditText(PanelEdit::DSTNUM));
    ini.WriteString(kSms, "SMSFLT", OnOffFromCheck(panel, PanelCheck::SMSFLT));
    ini.WriteString(kSms, "SMSPH", OnOffFromCheck(panel, PanelCheck::SMSPH));

    // The fifth field is always the device's only flow setting.
    ini.WriteString(kBase, "UART", UartText(panel) + ",NFC");
    ini.WriteString(kBase, "RFCEN", OnOffFromCheck(panel, PanelCheck::RFC));
    ini.WriteString(kBase, "UARTFT", panel.EditText(PanelEdit::UARTFT));
    ini.WriteString(kBase, "UARTFL", panel.EditText(PanelEdit::UARTFL));
    ini.WriteString(kBase, "E", OnOffFromCheck(panel, PanelCheck::E));
    ini.WriteString(kBase, "CMDPW", panel.EditText(PanelEdit::CmdPw));
    ini.WriteString(kBase, "STMSG", panel.EditText(PanelEdit::StMsg));
    ini.WriteString(kBase, "APN", panel.EditText(PanelEdit::Apn));
    ini.WriteString(kBase, "RSTIM", panel.EditText(PanelEdit::RsTim));
}

void SaveSession(TIniFile &ini, const IToolSettings &tool)
{
    ini.WriteBool(kSession, "Record", tool.Recording());
    ini.WriteString(kSession, "RecordFile", tool.RecordFile());
}

void LoadDeviceSections(const TIniFile &ini, IPanel &panel)
{
    // Before the sockets, the heartbeat and the registration: the work-mode rules force
    // selections that the stored ones then replace.
    SetWorkModeFromText(panel, Text(ini, kWkmod, "WKMOD", "NET"));
    LoadSockets(ini, panel);
    LoadHeartAndReg(ini, panel);
    LoadHttpdSmsBase(ini, panel);
}

} // namespace

int CommandDelayOf(const TIniFile &ini)
{
    // A pause that is no whole number, or a negative one, takes the default.
    int delay = kDefaultDelayTime;
    if (!ParseIniInteger(Text(ini, kBase, "delayTime", "150"), delay) || delay < 0)
        delay = kDefaultDelayTime;
    return delay;
}

void LoadParameters(const TIniFile &ini, IPanel &panel, TReplyApplier &device)
{
    LoadPanelSystem(ini, panel, device);
    LoadDeviceSections(ini, panel);
    SetChoiceFromText(panel, TCmd::ID, PanelCombo::RegDt, Text(ini, kUdc, "ID", ""));
}

void SaveParameters(TIniFile &ini, const IPanel &panel, const TReplyApplier &device)
{
    SavePanelSystem(ini, panel, device);
    SaveDeviceSections(ini, panel);
    ini.WriteString(kUdc, "ID", panel.EditText(PanelEdit::UdcId));
}

void LoadLinkSettings(const TIniFile &ini, ILinkSettings &link)
{
    LoadOpenUart(ini, link);
    link.SetCommandDelay(CommandDelayOf(ini));
}

void SaveLinkSettings(TIniFile &ini, const ILinkSettings &link)
{
    SaveOpenUart(ini, link);
    ini.WriteInteger(kBase, "delayTime", link.CommandDelay());
}

void LoadToolSettings(const TIniFile &ini, IToolSettings &tool)
{
    LoadToolSystem(ini, tool);
    LoadLinkSettings(ini, tool);
    tool.SetRecording(ini.ReadBool(kSession, "Record", false),
                      Text(ini, kSession, "RecordFile", ""));
}

void SaveToolSettings(TIniFile &ini, const IToolSettings &tool)
{
    SaveToolSystem(ini, tool);
    SaveLinkSettings(ini, tool);
    SaveSession(ini, tool);
}

void LoadConfig(const TIniFile &ini, IPanel &panel, TReplyApplier &device, IToolSettings &tool)
{
    // The two never meet: the tool's settings touch no control of the panel.
    LoadToolSettings(ini, tool);
    LoadParameters(ini, panel, device);
}

void SaveConfig(TIniFile &ini, const IPanel &panel, const TReplyApplier &device,
                const IToolSettings &tool)
{
    // Key by key in the file's order, so that a new file reads as every earlier one did.
    SaveToolSystem(ini, tool);
    SavePanelSystem(ini, panel, device);
    SaveOpenUart(ini, tool);
    SaveDeviceSections(ini, panel);
    ini.WriteInteger(kBase, "delayTime", tool.CommandDelay());
    SaveSession(ini, tool);
    ini.WriteString(kUdc, "ID", panel.EditText(PanelEdit::UdcId));
}

TFileOutcome ReadConfigFile(const std::string &path, TIniFile &ini)
{
    std::string text;
    const TFileOutcome outcome = ReadWholeFile(path, text);
    if (outcome.ok)
        ini = TIniFile(text);
    return outcome;
}

TFileOutcome SaveConfigFile(const std::string &path, const IPanel &panel,
                            const TReplyApplier &device, const IToolSettings &tool,
                            const std::function<void(TIniFile &)> &more)
{
    TIniFile ini;
    // A file that is there but cannot be read would lose what it holds: no save then.
    if (const TFileOutcome read = ReadConfigFile(path, ini); !read.ok)
        return read;
    SaveConfig(ini, panel, device, tool);
    if (more)
        more(ini);
    return WriteFileReplacing(path, ini.Text());
}

} // namespace m845
