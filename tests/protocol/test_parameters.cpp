// The parameter table against the code it describes: the write-all list of every mode and panel
// state, the read-all's order as the device protocol fixes it, and the keys the configuration
// file writes. A parameter that is written but never read fails here.

#include "protocol/parameters.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/fake_panel.h"
#include "protocol/readback.h"
#include "protocol/setall.h"

namespace m845::test {
namespace {

constexpr PanelRadio kModes[] = {PanelRadio::NetTran, PanelRadio::Httpd, PanelRadio::SmsTran,
                                 PanelRadio::Udc};

// Every combination of the switches that decide what the write-all leaves out.
std::vector<TFakePanel> PanelStates(int mode)
{
    std::vector<TFakePanel> states;
    for (int bits = 0; bits < 64; ++bits) {
        for (int regType = -1; regType <= 3; ++regType) {
            TFakePanel p;
            if (mode < 4)
                p.SetRadioChecked(kModes[mode], true);
            p.SetChecked(PanelCheck::SktA, (bits & 1) != 0);
            p.SetChecked(PanelCheck::SktB, (bits & 2) != 0);
            p.SetChecked(PanelCheck::HeartEn, (bits & 4) != 0);
            p.SetChecked(PanelCheck::RegEn, (bits & 8) != 0);
            p.SetChecked(PanelCheck::More, (bits & 16) != 0);
            p.SetChecked(PanelCheck::RegDtHex, (bits & 32) != 0);
            p.SetComboIndex(PanelCombo::RegTp, regType);
            states.push_back(p);
        }
    }
    return states;
}

std::set<TCmd> QueuedCommands()
{
    std::set<TCmd> out;
    for (int i = 0; i < QueueCount(); ++i)
        out.insert(CmdOfName(CommandOfLine(QueueEntry(i))));
    return out;
}

TEST(ParameterTable, WriteAllSendsExactlyWhatTheTableSaysForEveryModeAndState)
{
    for (int mode = 0; mode <= 4; ++mode) {
        const std::uint8_t bit = ModeBit(mode);
        std::set<TCmd> seen;
        for (const TFakePanel &p : PanelStates(mode)) {
            BuildSetAll(p, TCmd::IMEI);
            for (TCmd cmd : QueuedCommands()) {
                const TParameter *row = FindParameter(cmd);
                ASSERT_NE(row, nullptr) << CmdName(cmd);
                EXPECT_NE(row->writtenIn & bit, 0) << CmdName(cmd) << " in mode " << mode;
                EXPECT_TRUE(!row->advanced || p.Checked(PanelCheck::More)) << CmdName(cmd);
                seen.insert(cmd);
            }
        }
        for (const TParameter &row : Parameters()) {
            EXPECT_TRUE((row.writtenIn & bit) == 0 || seen.count(row.cmd) == 1)
                << CmdName(row.cmd) << " never written in mode " << mode;
        }
    }
}

TEST(ParameterTable, EveryWrittenParameterIsReadBackByTheReadAllOrTheCopyOfAMode)
{
    // A device copied into a file must report every value its mode's write-all will send.
    for (int mode = 0; mode <= 4; ++mode) {
        const std::vector<TCmd> extra = WrittenButNotReadAll(mode);
        const std::vector<TCmd> readAll = ReadAllRest(TCmd::IMEI);
        for (const TParameter &row : Parameters()) {
            if ((row.writtenIn & ModeBit(mode)) == 0)
                continue;
            const bool read = std::find(readAll.begin(), readAll.end(), row.cmd) != readAll.end()
                              || std::find(extra.begin(), extra.end(), row.cmd) != extra.end();
            EXPECT_TRUE(read || !row.readable) << CmdName(row.cmd) << " in mode " << mode;
            // Whatever is written is kept in the file and compared by the read-back.
            EXPECT_FALSE(row.key.empty()) << CmdName(row.cmd);
        }
    }
    EXPECT_EQ(WrittenButNotReadAll(2), (std::vector<TCmd>{TCmd::DSTNUM, TCmd::SMSFLT, TCmd::SMSPH}));
    for (int mode : {0, 1, 3, 4})
        EXPECT_TRUE(WrittenButNotReadAll(mode).empty()) << mode;
}

TEST(ParameterTable, TheReadAllAsksInTheDevicesOrderWithTheIdentityOfTheVariant)
{
    // Typed apart from the table: the order of the device's read-all.
    const std::vector<std::string> expected
        = {"E",       "WKMOD",   "CMDPW",   "STMSG",   "RSTIM",   "SN",        "ICCID",
           "IMEI",    "UART",    "UARTFT",  "UARTFL",  "APN",     "SOCKA",     "SOCKB",
           "SOCKAEN", "SOCKBEN", "SOCKASL", "SOCKBSL", "SOCKALK", "SOCKBLK",   "SOCKATO",
           "SOCKBTO", "SOCKIND", "SOCKRSTIM", "REGEN", "REGTP",   "REGDT",     "REGSND",
           "CLOUD",   "ID",      "HEARTEN", "HEARTDT", "HEARTSND", "HEARTTM",  "HTPTP",
           "HTPURL",  "HTPSV",   "HTPHD",   "HTPTO",   "HTPFLT"};
    std::vector<std::string> names;
    for (TCmd cmd : ReadAllRest(TCmd::IMEI))
        names.emplace_back(CmdName(cmd));
    EXPECT_EQ(names, expected);
    EXPECT_EQ(ReadAllRest(TCmd::MEID)[7], TCmd::MEID);
    EXPECT_EQ(Parameters().front().cmd, TCmd::VER);
}

TEST(ParameterTable, EachCommandHasOneRowAndEachStoredKeyOneMeaning)
{
    std::set<TCmd> commands;
    std::map<std::string, TCmd> keys;
    for (const TParameter &row : Parameters()) {
        EXPECT_TRUE(commands.insert(row.cmd).second) << CmdName(row.cmd);
        if (row.key.empty())
            continue;
        const std::string key = std::string(row.section) + "/" + std::string(row.key);
        const auto [at, added] = keys.emplace(key, row.cmd);
        // MEID and IMEI are the same identity, kept under one key.
        EXPECT_TRUE(added || (IsIdentity(at->second) && IsIdentity(row.cmd))) << key;
    }
}

} // namespace
} // namespace m845::test
