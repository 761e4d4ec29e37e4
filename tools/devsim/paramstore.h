#pragma once

// The simulated device's parameter memory: every command it knows, the factory
// values in the device's own text forms, and the checks it makes on a new value.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace m845::devsim {

// How the device treats a command word.
enum class CmdKind {
    Action,   // does something when sent bare ("AT+Z"); has no value
    ReadOnly, // a value the device reports but never accepts
    Param,    // a stored value: queried with "?", written with "="
};

// The device's error codes, as "+ERR:" followed by the number.
enum class ErrCode : int {
    Malformed = -1,   // not an "AT+" line
    UnknownCmd = -2,  // no such command
    BadOperator = -3, // "?" or "=" where the command takes none
    BadValue = -4,    // a value outside the command's forms
    NotAllowed = -5,  // refused in the present state
};

struct CmdInfo
{
    std::string name;
    CmdKind kind = CmdKind::Param;
};

class ParamStore final
{
public:
    ParamStore(); // factory values

    // The 64 command words and the two extra actions, in the device's order.
    [[nodiscard]] static const std::vector<CmdInfo> &Commands();
    // Letter case is ignored; nullptr for a word the device does not know.
    [[nodiscard]] static const CmdInfo *Find(std::string_view name);
    [[nodiscard]] static std::map<std::string, std::string> FactoryValues();

    // The value as the device reports it; empty for an action or unknown name.
    [[nodiscard]] std::string Get(std::string_view name) const;
    // The device's check for a set; nullopt when the value is acceptable.
    [[nodiscard]] std::optional<ErrCode> Check(std::string_view name, std::string_view value) const;
    // Stores without checking (presets from a state file or a test); the name in upper case.
    void Put(std::string_view name, std::string value);
    // Check, normalise and store; nullopt on success.
    std::optional<ErrCode> Set(std::string_view name, std::string_view value);

    void RestoreFactory();
    void SaveUserDefaults();
    void RestoreUserDefaults();

    [[nodiscard]] const std::map<std::string, std::string> &Values() const { return m_values; }

    // "NAME=value" lines. Load replaces the named values and keeps the others;
    // false with a message naming the file and line on a line that is no entry.
    [[nodiscard]] bool LoadFile(const std::string &path, std::string &error);
    [[nodiscard]] bool SaveFile(const std::string &path, std::string &error) const;

private:
    std::map<std::string, std::string> m_values;
    std::map<std::string, std::string> m_userDefaults;
};

} // namespace m845::devsim
