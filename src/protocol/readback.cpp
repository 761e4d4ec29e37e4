#include "protocol/readback.h"

#include <algorithm>
#include <vector>

#include "protocol/parameters.h"
#include "support/conversions.h"

namespace m845 {

namespace {

constexpr std::string_view kAt = "AT+";

std::string_view WithoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

// The radio button SetWorkModeFromText would check, as its word.
std::string_view ShownMode(std::string_view value)
{
    if (value == "NET" || value == "HTTPD")
        return value;
    if (value.find("SMS") != std::string_view::npos)
        return "SMS";
    if (value.find("UDC") != std::string_view::npos)
        return "UDC";
    return {};
}

bool IsIdentityType(std::string_view type)
{
    return type == "MEID" || type == "IMEI";
}

// Compound values as the panel splits them; list fields compare without case: all of UART's,
// the first (the protocol) of a socket's.
bool FieldsShowSame(TCompare rule, std::string_view written, std::string_view reply)
{
    const std::vector<std::string> w = SplitCommaText(written);
    const std::vector<std::string> r = SplitCommaText(reply);
    // The device adds the flow field the tool never writes.
    const bool prefixOnly = rule == TCompare::FieldsPrefix;
    if (prefixOnly ? r.size() < w.size() : r.size() != w.size())
        return false;
    for (std::size_t i = 0; i < w.size(); ++i) {
        const bool listBox = prefixOnly || i == 0;
        if (listBox ? !EqualsNoCase(w[i], r[i]) : w[i] != r[i])
            return false;
    }
    return true;
}

} // namespace

std::string CommandOfLine(std::string_view line)
{
    line = WithoutLineEnd(line);
    if (line.substr(0, kAt.size()) != kAt)
        return {};
    line.remove_prefix(kAt.size());
    const std::size_t end = line.find_first_of("=?");
    if (end == std::string_view::npos || end == 0)
        return {};
    return std::string(line.substr(0, end));
}

bool SetLineValue(std::string_view line, std::string &value)
{
    line = WithoutLineEnd(line);
    const std::size_t equals = line.find('=');
    if (line.substr(0, kAt.size()) != kAt || equals == std::string_view::npos
        || equals == kAt.size())
        return false;
    value = std::string(line.substr(equals + 1));
    return true;
}

std::string RefusalText(std::string_view block)
{
    const std::size_t start = block.find("+ERR:");
    if (start != std::string_view::npos) {
        const std::string_view rest = block.substr(start);
        return std::string(rest.substr(0, rest.find_first_of("\r\n")));
    }
    std::string text;
    for (const char c : block) {
        if (c != '\r' && c != '\n')
            text += c;
    }
    return text;
}

bool ShowsSame(TCmd cmd, std::string_view written, std::string_view reply)
{
    const TParameter *parameter = FindParameter(cmd);
    switch (parameter != nullptr ? parameter->compare : TCompare::Exact) {
    case TCompare::NoCase:
        return EqualsNoCase(written, reply);
    case TCompare::WorkMode:
        return ShownMode(written) == ShownMode(reply);
    case TCompare::RegType:
        return written == reply || (IsIdentityType(written) && IsIdentityType(reply));
    case TCompare::Fields:
    case TCompare::FieldsPrefix:
        return FieldsShowSame(parameter->compare, written, reply);
    case TCompare::Exact:
        break;
    }
    return written == reply;
}

std::string DifferenceLine(std::string_view name, std::string_view written, std::string_view reply)
{
    return std::string(name) + ": wrote " + std::string(written) + ", device has "
           + std::string(reply);
}

std::string RefusedWriteLine(std::string_view name, std::string_view written,
                             std::string_view refusal)
{
    return std::string(name) + ": wrote " + std::string(written) + ", device refused ("
           + std::string(refusal) + ")";
}

std::string RefusedQueryLine(std::string_view name, std::string_view written,
                             std::string_view refusal)
{
    return std::string(name) + ": wrote " + std::string(written) + ", device refused the query ("
           + std::string(refusal) + ")";
}

std::string NoValueLine(std::string_view name, std::string_view written)
{
    return std::string(name) + ": wrote " + std::string(written) + ", device gave no value";
}

std::string RefusedReadLine(std::string_view name, std::string_view refusal)
{
    return std::string(name) + ": device refused the query (" + std::string(refusal) + ")";
}

} // namespace m845
