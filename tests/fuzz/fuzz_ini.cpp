// A configuration file of any bytes: parsed, read with the typed reads, loaded into a plain
// panel and tool, saved back into itself. Never a crash, the typed reads agree with each other,
// and the saved file is settled: loading it and saving again changes nothing.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/fake_panel.h"
#include "common/fake_tool.h"
#include "common/quiet_log.h"
#include "config/config.h"
#include "config/inifile.h"
#include "fuzz/fuzz_fakes.h"
#include "fuzz/fuzz_input.h"
#include "protocol/reply.h"

namespace {

void CheckTypedReads(const m845::TIniFile &ini, std::string_view section, std::string_view key)
{
    const auto value = ini.Value(section, key);
    if (ini.ReadString(section, key, "\x01") != (value ? *value : "\x01"))
        std::abort();
    const int number = ini.ReadInteger(section, key, 7);
    if (ini.ReadBool(section, key, true) != (ini.ReadInteger(section, key, 1) != 0))
        std::abort();
    int parsed = 0;
    const bool isNumber = value && m845::ParseIniInteger(*value, parsed);
    if (number != (isNumber ? parsed : 7))
        std::abort();
    // Written as a number, a read number reads back the same.
    int again = 0;
    if (isNumber && (!m845::ParseIniInteger(std::to_string(parsed), again) || again != parsed))
        std::abort();
}

// One run of the program with the file on the disk: loaded into a plain panel and tool at
// start, saved back into it at close.
void RunOnce(m845::TIniFile &ini)
{
    m845::test::TFakePanel &panel = m845::fuzz::FreshPanel();
    m845::test::TQuietLog log;
    m845::TReplyApplier device(panel, log);
    m845::test::TFakeTool tool;
    m845::LoadConfig(ini, panel, device, tool);
    // The window's panel shows the data entry of the registration type it selects; the plain
    // one has no such rule, and would save another type's data (blanks and all) as CLOUD.
    panel.SetComboIndex(m845::PanelCombo::RegDt, panel.ComboIndex(m845::PanelCombo::RegTp));
    m845::SaveConfig(ini, panel, device, tool);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    m845::fuzz::TInput input(data, size);
    const std::string_view section = input.Piece();
    const std::string_view key = input.Piece();
    const std::string text(input.Rest());

    const m845::TIniFile ini(text);
    CheckTypedReads(ini, section, key);
    for (const std::string_view fixed : {"Language", "SendShortCutTag", "delayTime", "Record"})
        for (const std::string_view where : {"System", "Base", "Session"})
            CheckTypedReads(ini, where, fixed);

    // A key taken out, then a value the program writes: the file reads as its text does when
    // read afresh, and the value reads back as written, trimmed, on its own line.
    m845::TIniFile edited = ini;
    (void)edited.RemoveKey(section, key);
    edited.WriteString("Base", "STMSG", key);
    std::string expected(key);
    for (char &c : expected)
        c = (c == '\r' || c == '\n') ? ' ' : c;
    const auto first = expected.find_first_not_of(" \t");
    expected = first == std::string::npos
                   ? std::string()
                   : expected.substr(first, expected.find_last_not_of(" \t") - first + 1);
    const m845::TIniFile reread(edited.Text());
    if (reread.ReadString("Base", "STMSG", "\x01") != expected
        || edited.Value(section, key) != reread.Value(section, key))
        std::abort();

    // A quoted field may hold a comma or a blank; the save writes fields back bare, as it
    // sends them to the device, and such a value does not come back, just as a bare blank in
    // an address never did. Not what this check is after: no quotes here.
    std::string unquoted = text;
    std::replace(unquoted.begin(), unquoted.end(), '"', '\'');
    m845::TIniFile closed(unquoted);
    RunOnce(closed);
    // What the next start reads is what this close wrote, and that run changes nothing.
    m845::TIniFile reopened(closed.Text());
    const std::string read = reopened.Text();
    RunOnce(reopened);
    if (reopened.Text() != read)
        std::abort();
    return 0;
}
