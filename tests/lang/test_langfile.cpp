// The language file as written on first start, byte for byte, and its round trip.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "lang/langlist.h"
#include "lang/texttable.h"
#include "lang/lang_test_util.h"
#include "support/encoding.h"

namespace m845 {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// Typed out independently of the table so that a reordered or lost entry shows.
constexpr std::array<std::string_view, 149> kKeysInOrder{
    "lang_Main_Title",     "lang_Main_AppTitle",   "lang_Menu_File",
    "lang_Menu_Quit",      "lang_Menu_Lang",       "lang_Menu_Cn",
    "lang_Menu_En",        "lang_Menu_Diy",        "lang_Menu_Help",
    "lang_Menu_About",     "lang_Menu_Hint",       "lang_Menu_Version",
    "lang_Menu_DownUrl",   "lang_Menu_WorkOrder",  "lang_Menu_WorkOrderUrl",
    "lang_lblOpenCom",     "lang_lblOpenBaud",     "lang_lblOpenPDS",
    "lang_lblOpenFlow",    "lang_btnOpen",         "lang_btnClose",
    "lang_btnFwUp",        "lang_rzgrpbxWkmod",    "lang_rbNetTran",
    "lang_rbHttpd",        "lang_rbSmsTran",       "lang_rbUdc",
    "lang_rzgrpbxPara",    "lang_rzchckbxSkt",     "lang_lblIpAndPort",
    "lang_lblLinkTpye",    "lang_cbbASL0",         "lang_cbbASL1",
    "lang_OverTimeS",      "lang_lbledtSockRsTim", "lang_rzchckbxHeartEn",
    "lang_lblHeartTm",     "lang_lblHeartDt",      "lang_lblHeartSnd",
    "lang_cbbHeartSnd0",   "lang_cbbHeartSnd1",    "lang_rzchckbxRegEn",
    "lang_lblRegSnd",      "lang_cbbRegSnd0",      "lang_cbbRegSnd1",
    "lang_cbbRegSnd2",     "lang_lblRegTp",        "lang_cbbRegTp0",
    "lang_cbbRegTp1_MEID", "lang_cbbRegTp1_IMEI",  "lang_cbbRegTp3",
    "lang_cbbRegTp4",      "lang_cbbRegTp5",       "lang_lblCloudId",
    "lang_lblCloudPa",     "lang_CloudIdPw",       "lang_rzchckbxSOCKIND",
    "lang_lblHTPTP",       "lang_lblHTPURL",       "lang_lblHTPSVIP",
    "lang_lblHTPSVPort",   "lang_lblHTPHD",        "lang_rzchckbxHtpFlt",
    "lang_lblDSTNUM",      "lang_rzchckbxSMSFLT",  "lang_rzchckbxSMSPH",
    "lang_rzgrpbxBase",    "lang_lblUart",         "lang_lblBaud",
    "lang_rzchckbxMore",   "lang_rzchckbxRFC",     "lang_lblUARTFT",
    "lang_lblUARTFL",      "lang_rzchckbxE",       "lang_lbledtCmdPw",
    "lang_lbledtStMsg",    "lang_lbledtApn",       "lang_lbledtRsTim",
    "lang_rzgrpbxDo",      "lang_btnAskAll",       "lang_btnSetAll",
    "lang_btnPPPA",        "lang_btnENTM",         "lang_btnH",
    "lang_btnZ",           "lang_btnSysRestart",   "lang_btnVER",
    "lang_btnCNUM",        "lang_btnCFGTF",        "lang_btnRELD",
    "lang_btnCLEAR",       "lang_btnCSQ",          "lang_lblTxHex",
    "lang_lblRxHex",       "lang_btnResetCount",   "lang_chbTime",
    "lang_lblReTelNum",    "lang_pmSendType0",     "lang_pmSendType1",
    "lang_btnSend",        "lang_pmSend0",         "lang_pmSend1",
    "lang_pmSend3",        "lang_pmCls0",          "lang_pmCls1",
    "lang_pmCls2",         "lang_pmCls4",          "lang_pmFwUpOpt0",
    "lang_pmFwUpOpt1",     "lang_About_Title",     "lang_About_Version",
    "lang_About_OK",       "lang_About_SoftName",  "lang_About_Description",
    "lang_About_Contact",  "lang_About_Website",   "lang_About_Tel",
    "lang_About_Email",    "hint_cbbOpenUart",     "hint_cbbUart",
    "hint_chkEn",          "hint_chkHex",          "hint_edtCloudId",
    "hint_edtCloudPa",     "hint_rzchckbxCloudEn", "hint_cbbRegDt_Udc",
    "hint_imgGif",         "info_ComOpenYes",      "info_ComCloseYes",
    "info_ComOpenNo",      "info_ComNoOpen",       "info_DoOver",
    "info_Start0",         "info_Start1",          "info_Start2",
    "info_Start3",         "info_Start4",          "info_Start5",
    "info_Restarting",     "info_FwUpOver",        "info_FwUpTime",
    "info_SlctFwFile",     "info_FwFile",          "info_AllFile",
    "info_AbsentFwFlie",   "info_ModuleRTS",       "info_Sending",
    "info_ReloadRepower",  "info_PlsUpFw"};

// Header line 1 in GBK, taken from iconv's own tables when the test was written.
constexpr std::string_view kHeader1Hex
    = "3bd3efd1d4cec4bcfeb8f1cabdceaa3a20c3fbb3c67cd6d0cec47cd3a2cec4a3accafacfdfb7d6b8eea3acb6ba"
      "bac5d3ebb7d6bac5ceaad7a2cacda3ac2f2f2fceaabbbbd0d0a3acbfd5d0d0d7d4b6afbaf6c2d4";

std::string FromHex(std::string_view hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

// Splits at CR LF; fails the test on any CR or LF that is not part of a CR LF pair.
std::vector<std::string> SplitCrLf(const std::string &bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "last line has no CR LF";
        if (end == std::string::npos)
            break;
        const std::string line = bytes.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "lone CR or LF: " << line;
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

class WrittenLangFile : public testing::Test
{
protected:
    void SetUp() override
    {
        FillTextTable(m_list);
        m_path = m_dir.File("M845Lang.txt");
        m_list.LoadLangFile(m_path);
        m_bytes = ReadBytes(m_path);
        m_lines = SplitCrLf(m_bytes);
    }

    TempDir m_dir;
    TLangList m_list;
    std::string m_path;
    std::string m_bytes;
    std::vector<std::string> m_lines;
};

TEST_F(WrittenLangFile, HasHeadersSpaceLineAndOneLinePerEntryEachEndingInCrLf)
{
    ASSERT_EQ(m_lines.size(), 152U);
    EXPECT_EQ(m_bytes.substr(m_bytes.size() - 2), "\r\n");
    EXPECT_EQ(m_lines[0], FromHex(kHeader1Hex));
    const std::string header2
        = "3b4c616e67756167652066696c6520666f726d61743a204e616d657c4368696e6573657c456e676c697368"
          "a3ac766572746963616c2069732064656c696d69746572a3ac20636f6d6d61206f722073656d69636f6c6f"
          "6e20697320436f6d6d656e7473a3ac2f2f2f6973206e65776c696e65a3ac456d707479206c696e65732061"
          "75746f6d61746963616c6c792069676e6f726564";
    EXPECT_EQ(m_lines[1], FromHex(header2));
    EXPECT_EQ(m_lines[2], " ");
}

TEST_F(WrittenLangFile, EntriesFollowTableOrderAsKeyChineseEnglishInGbk)
{
    ASSERT_EQ(m_lines.size(), 152U);
    for (std::size_t i = 0; i < kKeysInOrder.size(); ++i) {
        const std::string &line = m_lines[i + 3];
        EXPECT_EQ(line.substr(0, line.find('|')), kKeysInOrder[i]) << "line " << i + 4;
    }
    // Raw bytes of a few Chinese entries: GBK, not UTF-8.
    EXPECT_EQ(m_lines[3 + 19], "lang_btnOpen|" + FromHex("b4f2bfaab4aebfda") + "|Open PC Serial");
    EXPECT_EQ(m_lines[3 + 23],
              "lang_rbNetTran|" + FromHex("20cdf8c2e7cdb8b4abc4a3cabd") + "|Transparent Mode");
    EXPECT_EQ(m_lines[3 + 28],
              "lang_rzchckbxSkt|" + FromHex("c1acbdd3b7fecef1c6f7") + "|Enable Socket ");
    EXPECT_EQ(m_lines[3 + 1], "lang_Main_AppTitle|ZLM-M845|ZLM-M845");
    EXPECT_EQ(m_lines.back(),
              "info_PlsUpFw|" + Utf8ToGbk("请升级固件！") + "|Please upgrade the firmware!");
}

TEST_F(WrittenLangFile, ReadsBackToTheBuiltInTextsInBothLanguages)
{
    const std::vector<TLangEntry> entries = m_list.FileEntries();
    // The line of one space reads as an entry with an empty key and empty texts.
    ASSERT_EQ(entries.size(), 150U);
    EXPECT_EQ(entries[0].key, "");
    EXPECT_EQ(entries[0].chinese, "");
    TLangList builtIn;
    FillTextTable(builtIn);
    for (std::size_t i = 0; i < kKeysInOrder.size(); ++i) {
        const TLangEntry &entry = entries[i + 1];
        ASSERT_EQ(entry.key, kKeysInOrder[i]);
        builtIn.IsChinese = true;
        EXPECT_EQ(entry.chinese, builtIn.GetLangText(entry.key)) << entry.key;
        builtIn.IsChinese = false;
        EXPECT_EQ(entry.english, builtIn.GetLangText(entry.key)) << entry.key;
    }
}

TEST(TextTable, HoldsEveryKeyOnceWithTextsTheFileCanCarry)
{
    TLangList list;
    FillTextTable(list);
    for (const std::string_view key : kKeysInOrder) {
        for (const bool chinese : {true, false}) {
            list.IsChinese = chinese;
            const std::string text = list.GetLangText(key);
            EXPECT_NE(text, key) << key << " is missing";
            EXPECT_FALSE(text.empty()) << key;
            EXPECT_EQ(text.find_first_of("|\r\n"), std::string::npos) << key;
            EXPECT_TRUE(IsValidUtf8(text)) << key;
            EXPECT_EQ(GbkToUtf8(Utf8ToGbk(text)), text) << key << " has no GBK form";
        }
    }
}

TEST(TextTable, KeepsQuotedSpacesAndSpellings)
{
    TLangList list;
    FillTextTable(list);
    struct Case
    {
        std::string_view key, chinese, english;
    };
    const Case cases[] = {
        {"lang_rbNetTran", " 网络透传模式", "Transparent Mode"},
        {"lang_rzgrpbxPara", "相关参数", " parameters"},
        {"lang_rzchckbxSkt", "连接服务器", "Enable Socket "},
        {"hint_chkHex", "勾选以输入16进制数据", "Checcked to input hexadecimal number"},
        {"lang_pmFwUpOpt0", "升级后重启", "Restar after upgrade"},
        {"lang_btnFwUp", "固件升级", "Fw Upgrade"},
        {"info_FwUpTime", "耗时(秒): ", "Used time (s): "},
        {"info_Start2", "2. 打开串口;", "2. Click \"Open PC serial\""},
        {"hint_cbbUart", "DTU和串口终端应采用相同的串口参数",
         "M2M device should work in the same serial port parameters with Serial device "},
        {"lang_Menu_Cn", "简体中文", "简体中文"},
    };
    for (const Case &c : cases) {
        list.IsChinese = true;
        EXPECT_EQ(list.GetLangText(c.key), c.chinese);
        list.IsChinese = false;
        EXPECT_EQ(list.GetLangText(c.key), c.english);
    }
}

TEST(LangFileWriting, LeavesAnExistingFileAsItIs)
{
    TempDir dir;
    const std::string path = dir.File("M845Lang.txt");
    const std::string own = "lang_btnOpen|open it|Open it\r\n";
    WriteBytes(path, own);
    TLangList list;
    FillTextTable(list);
    list.LoadLangFile(path);
    EXPECT_EQ(ReadBytes(path), own);
    list.IsChinese = false;
    EXPECT_EQ(list.GetLangText("lang_btnOpen"), "Open it");
}

TEST(LangFileWriting, WriteFailureThrowsNamingThePath)
{
    TempDir dir;
    const std::string path = dir.File("no-such-folder/M845Lang.txt");
    TLangList list;
    FillTextTable(list);
    try {
        list.LoadLangFile(path);
        FAIL() << "no error";
    } catch (const std::runtime_error &error) {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(LangFileWriting, LineBreaksInTextsAreWrittenAsMarksAndReadBackAsLineFeeds)
{
    TempDir dir;
    const std::string path = dir.File("M845Lang.txt");
    TLangList writer;
    writer.AddEntry("k", "一\r\n二", "a\r\nb\nc\rd");
    writer.WriteDefaultLangFile(path);
    const std::vector<std::string> lines = SplitCrLf(ReadBytes(path));
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[3], "k|" + Utf8ToGbk("一///二") + "|a///b///c///d");
    TLangList reader;
    reader.ReadLangFile(path);
    reader.IsChinese = true;
    EXPECT_EQ(reader.GetLangText("k"), "一\n二");
    reader.IsChinese = false;
    EXPECT_EQ(reader.GetLangText("k"), "a\nb\nc\nd");
}

} // namespace
} // namespace m845
