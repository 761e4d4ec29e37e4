#include "devsim/paramstore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <functional>
#include <set>

namespace m845::devsim {

namespace {

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

bool IsDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

bool InRange(std::string_view text, long low, long high)
{
    if (!IsDigits(text) || text.size() > 9) {
        return false;
    }
    const long n = std::stol(std::string(text));
    return n >= low && n <= high;
}

bool OneOf(std::string_view text, std::initializer_list<std::string_view> words)
{
    return std::find(words.begin(), words.end(), text) != words.end();
}

bool IsOnOff(std::string_view text)
{
    return OneOf(text, {"ON", "OFF"});
}

// A host name or dotted address: printable, no blank, no comma.
bool IsHost(std::string_view text)
{
    return !text.empty() && text.size() <= 100 && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isgraph(static_cast<unsigned char>(c)) != 0 && c != ',';
    });
}

bool IsPort(std::string_view text)
{
    return InRange(text, 1, 65535);
}

// Split on every comma, keeping empty fields (the device's own parser, not the tool's).
std::vector<std::string_view> Fields(std::string_view text)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        out.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos) {
            return out;
        }
        start = comma + 1;
    }
}

bool IsSocket(std::string_view text)
{
    const auto f = Fields(text);
    return f.size() == 3 && OneOf(f[0], {"TCP", "UDP"}) && IsHost(f[1]) && IsPort(f[2]);
}

bool IsUart(std::string_view text)
{
    const auto f = Fields(text);
    if (f.size() != 4 && f.size() != 5) {
        return false;
    }
    return OneOf(f[0], {"1200", "2400", "4800", "9600", "14400", "19200", "38400", "57600",
                        "115200", "230400", "460800", "921600"})
           && OneOf(f[1], {"7", "8"}) && OneOf(f[2], {"1", "2"})
           && OneOf(f[3], {"NONE", "ODD", "EVEN"}) && (f.size() == 4 || OneOf(f[4], {"NFC", "FC"}));
}

bool IsHexData(std::string_view text)
{
    return text.size() % 2 == 0 && text.size() <= 200
           && std::all_of(text.begin(), text.end(),
                          [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

bool IsText(std::string_view text, std::size_t maxLength)
{
    return text.size() <= maxLength;
}

bool IsPhone(std::string_view text)
{
    const std::string_view digits = !text.empty() && text[0] == '+' ? text.substr(1) : text;
    return IsDigits(digits) && digits.size() <= 20;
}

using Validator = std::function<bool(std::string_view)>;

const std::map<std::string, Validator, std::less<>> &Validators()
{
    static const std::map<std::string, Validator, std::less<>> table = [] {
        std::map<std::string, Validator, std::less<>> t;
        for (const char *name : {"E", "RFCEN", "SOCKAEN", "SOCKBEN", "SOCKCEN", "SOCKDEN",
                                 "SOCKIND", "REGEN", "HEARTEN", "HTPFLT", "SMSFLT", "SMSPH"}) {
            t[name] = IsOnOff;
        }
        for (const char *name : {"SOCKA", "SOCKB", "SOCKC", "SOCKD"}) {
            t[name] = IsSocket;
        }
        for (const char *name : {"SOCKASL", "SOCKBSL", "SOCKCSL", "SOCKDSL"}) {
            t[name] = [](std::string_view v) {
                return OneOf(v, {"SHORT", "LONG"});
            };
        }
        for (const char *name : {"SOCKATO", "SOCKBTO", "SOCKCTO", "SOCKDTO"}) {
            t[name] = [](std::string_view v) {
                return InRange(v, 0, 65535);
            };
        }
        t["WKMOD"] = [](std::string_view v) {
            return OneOf(v, {"NET", "HTTPD", "SMS", "UDC"});
        };
        t["CMDPW"] = [](std::string_view v) {
            return !v.empty() && IsText(v, 10);
        };
        t["STMSG"] = [](std::string_view v) {
            return IsText(v, 20);
        };
        t["UART"] = IsUart;
        t["UARTFT"] = [](std::string_view v) {
            return InRange(v, 10, 5000);
        };
        t["UARTFL"] = [](std::string_view v) {
            return InRange(v, 1, 4096);
        };
        t["APN"] = [](std::string_view v) {
            return Fields(v).size() == 4 && IsText(v, 100);
        };
        t["SOCKRSTIM"] = [](std::string_view v) {
            return InRange(v, 0, 65535);
        };
        t["REGTP"] = [](std::string_view v) {
            return OneOf(v, {"ICCID", "MEID", "IMEI", "CLOUD", "USER"});
        };
        t["REGDT"] = IsHexData;
        t["REGSND"] = [](std::string_view v) {
            return OneOf(v, {"LINK", "DATA"});
        };
        t["HEARTDT"] = IsHexData;
        t["HEARTSND"] = [](std::string_view v) {
            return OneOf(v, {"NET", "COM"});
        };
        t["HEARTTM"] = [](std::string_view v) {
            return InRange(v, 1, 65535);
        };
        t["HTPTP"] = [](std::string_view v) {
            return OneOf(v, {"GET", "POST"});
        };
        t["HTPURL"] = [](std::string_view v) {
            return IsText(v, 100);
        };
        t["HTPSV"] = [](std::string_view v) {
            const auto f = Fields(v);
            return f.size() == 2 && IsHost(f[0]) && IsPort(f[1]);
        };
        t["HTPHD"] = [](std::string_view v) {
            return IsText(v, 200);
        };
        t["HTPTO"] = [](std::string_view v) {
            return InRange(v, 1, 65535);
        };
        t["DSTNUM"] = IsPhone;
        t["CLOUD"] = [](std::string_view v) {
            const auto f = Fields(v);
            return f.size() == 2 && IsText(f[0], 20) && IsText(f[1], 8);
        };
        t["ID"] = [](std::string_view v) {
            return IsText(v, 50);
        };
        t["RSTIM"] = [](std::string_view v) {
            return InRange(v, 60, 65535);
        };
        return t;
    }();
    return table;
}

// The registration and heartbeat packets are hexadecimal bytes; the device reports them in
// upper case whatever case they were written in.
std::string Normalise(std::string_view name, std::string_view value)
{
    if (name == "REGDT" || name == "HEARTDT") {
        return Upper(value);
    }
    if (name == "UART" && Fields(value).size() == 4) {
        return std::string(value) + ",NFC";
    }
    return std::string(value);
}

} // namespace

ParamStore::ParamStore()
    : m_values(FactoryValues())
    , m_userDefaults(m_values)
{}

const std::vector<CmdInfo> &ParamStore::Commands()
{
    static const std::vector<CmdInfo> commands = [] {
        const std::set<std::string_view> actions
            = {"H", "Z", "ENTM", "RELD", "CLEAR", "CFGTF", "SMSEND", "REBOOT"};
        const std::set<std::string_view> readOnly
            = {"VER", "HDVER",   "SN",      "ICCID",   "MEID",   "IMEI",
               "CSQ", "SOCKALK", "SOCKBLK", "SOCKCLK", "SOCKDLK"};
        std::vector<CmdInfo> out;
        for (const char *name :
             {"H",        "E",       "Z",       "VER",     "HDVER",   "ENTM",    "SN",
              "ICCID",    "MEID",    "IMEI",    "STMSG",   "RELD",    "CLEAR",   "CFGTF",
              "WKMOD",    "CMDPW",   "UART",    "RFCEN",   "UARTFT",  "UARTFL",  "APN",
              "SOCKA",    "SOCKB",   "SOCKAEN", "SOCKBEN", "SOCKASL", "SOCKBSL", "SOCKALK",
              "SOCKBLK",  "SOCKATO", "SOCKBTO", "SOCKC",   "SOCKD",   "SOCKCEN", "SOCKDEN",
              "SOCKCSL",  "SOCKDSL", "SOCKCLK", "SOCKDLK", "SOCKCTO", "SOCKDTO", "SOCKRSTIM",
              "SOCKIND",  "REGEN",   "REGTP",   "REGDT",   "REGSND",  "HEARTEN", "HEARTDT",
              "HEARTSND", "HEARTTM", "HTPTP",   "HTPURL",  "HTPSV",   "HTPHD",   "HTPTO",
              "HTPFLT",   "DSTNUM",  "SMSFLT",  "SMSPH",   "CLOUD",   "CSQ",     "ID",
              "RSTIM",    "SMSEND",  "REBOOT"}) {
            const CmdKind kind = actions.contains(name)    ? CmdKind::Action
                                 : readOnly.contains(name) ? CmdKind::ReadOnly
                                                           : CmdKind::Param;
            out.push_back({name, kind});
        }
        return out;
    }();
    return commands;
}

const CmdInfo *ParamStore::Find(std::string_view name)
{
    const std::string upper = Upper(name);
    for (const CmdInfo &info : Commands()) {
        if (info.name == upper) {
            return &info;
        }
    }
    return nullptr;
}

std::map<std::string, std::string> ParamStore::FactoryValues()
{
    // "www.example.com" in hexadecimal, the packet data a fresh device carries.
    const std::string hostHex = "7777772E6578616D706C652E636F6D";
    return {
        {"E", "ON"},
        {"VER", "V2.1.5"},
        {"HDVER", "2.1.0"},
        {"SN", "0050031907010042"},
        {"ICCID", "89860117851068430021"},
        {"MEID", "99000512345678"},
        {"IMEI", "866714041234567"},
        {"STMSG", "[ZLM-M845]"},
        {"WKMOD", "NET"},
        {"CMDPW", "vorbe"},
        {"UART", "115200,8,1,NONE,NFC"},
        {"RFCEN", "OFF"},
        {"UARTFT", "50"},
        {"UARTFL", "1024"},
        {"APN", "CMNET,,,0"},
        {"SOCKA", "TCP,www.example.com,80"},
        {"SOCKB", "TCP,www.example.com,81"},
        {"SOCKC", "TCP,www.example.com,82"},
        {"SOCKD", "TCP,www.example.com,83"},
        {"SOCKAEN", "ON"},
        {"SOCKBEN", "OFF"},
        {"SOCKCEN", "OFF"},
        {"SOCKDEN", "OFF"},
        {"SOCKASL", "LONG"},
        {"SOCKBSL", "LONG"},
        {"SOCKCSL", "LONG"},
        {"SOCKDSL", "LONG"},
        {"SOCKATO", "5"},
        {"SOCKBTO", "5"},
        {"SOCKCTO", "5"},
        {"SOCKDTO", "5"},
        {"SOCKRSTIM", "60"},
        {"SOCKIND", "OFF"},
        {"REGEN", "OFF"},
        {"REGTP", "USER"},
        {"REGDT", hostHex},
        {"REGSND", "LINK"},
        {"HEARTEN", "ON"},
        {"HEARTDT", hostHex},
        {"HEARTSND", "NET"},
        {"HEARTTM", "30"},
        {"HTPTP", "POST"},
        {"HTPURL", "/1.php[3F]"},
        {"HTPSV", "www.example.com,80"},
        {"HTPHD", "Connection: close[0D][0A]"},
        {"HTPTO", "10"},
        {"HTPFLT", "ON"},
        {"DSTNUM", "10086"},
        {"SMSFLT", "ON"},
        {"SMSPH", "OFF"},
        {"CLOUD", "00012345000000000001,12345678"},
        {"CSQ", "24,99"},
        {"ID", "0001"},
        {"RSTIM", "1800"},
    };
}

std::string ParamStore::Get(std::string_view name) const
{
    const std::string upper = Upper(name);
    // The link status follows the socket's switch and the work mode; nothing connects here,
    // so an enabled socket in a socket mode is reported as linked.
    if (upper.size() == 7 && upper.starts_with("SOCK") && upper.ends_with("LK")) {
        const std::string enable = "SOCK" + upper.substr(4, 1) + "EN";
        const std::string mode = Get("WKMOD");
        return Get(enable) == "ON" && (mode == "NET" || mode == "UDC") ? "ON" : "OFF";
    }
    const auto it = m_values.find(upper);
    return it == m_values.end() ? std::string() : it->second;
}

std::optional<ErrCode> ParamStore::Check(std::string_view name, std::string_view value) const
{
    const CmdInfo *info = Find(name);
    if (info == nullptr) {
        return ErrCode::UnknownCmd;
    }
    if (info->kind != CmdKind::Param) {
        return ErrCode::BadOperator;
    }
    const auto &validators = Validators();
    const auto it = validators.find(info->name);
    if (it != validators.end() && !it->second(value)) {
        return ErrCode::BadValue;
    }
    return std::nullopt;
}

void ParamStore::Put(std::string_view name, std::string value)
{
    m_values[Upper(name)] = std::move(value);
}

std::optional<ErrCode> ParamStore::Set(std::string_view name, std::string_view value)
{
    if (const auto err = Check(name, value)) {
        return err;
    }
    const std::string upper = Upper(name);
    m_values[upper] = Normalise(upper, value);
    return std::nullopt;
}

void ParamStore::RestoreFactory()
{
    m_values = FactoryValues();
    m_userDefaults = m_values;
}

void ParamStore::SaveUserDefaults()
{
    m_userDefaults = m_values;
}

void ParamStore::RestoreUserDefaults()
{
    m_values = m_userDefaults;
}

bool ParamStore::LoadFile(const std::string &path, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = path + ":" + std::to_string(number) + ": not a NAME=value line";
            return false;
        }
        const std::string name = line.substr(0, eq);
        if (Find(name) == nullptr) {
            error = path + ":" + std::to_string(number) + ": unknown parameter " + name;
            return false;
        }
        Put(name, line.substr(eq + 1));
    }
    m_userDefaults = m_values;
    return true;
}

bool ParamStore::SaveFile(const std::string &path, std::string &error) const
{
    // Written beside and renamed, so a reader never sees half a file.
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "cannot write " + temp;
            return false;
        }
        for (const CmdInfo &info : Commands()) {
            const auto it = m_values.find(info.name);
            if (it != m_values.end()) {
                out << it->first << '=' << it->second << '\n';
            }
        }
        if (!out.flush()) {
            error = "cannot write " + temp;
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path;
        return false;
    }
    return true;
}

} // namespace m845::devsim
