#include "lang/langlist.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lang/texttable.h"
#include "support/encoding.h"
#include "support/paths.h"

namespace m845 {

namespace {

// The first two lines of a written language file; the commas in them are full-width.
constexpr std::string_view kHeaderChinese
    = ";语言文件格式为: 名称|中文|英文，竖线分割，逗号与分号为注释，///为换行，空行自动忽略";
constexpr std::string_view kHeaderEnglish
    = ";Language file format: Name|Chinese|English，vertical is delimiter， comma or semicolon is "
      "Comments，///is newline，Empty lines automatically ignored";
constexpr std::string_view kLineBreakMark = "///";
constexpr std::string_view kCrLf = "\r\n";
// A language file is a few kilobytes; anything beyond this is not one, and reading stops there.
constexpr std::size_t kMaxLangFileBytes = 16U * 1024U * 1024U;

std::unique_ptr<TLangList> g_langList;

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

int IndexIn(const std::vector<std::string> &list, std::string_view key)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (EqualsIgnoringAsciiCase(list[i], key))
            return static_cast<int>(i);
    }
    return -1;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t found = text.find(from); found != std::string_view::npos;
         found = text.find(from, start)) {
        out.append(text.substr(start, found - start));
        out.append(to);
        start = found + from.size();
    }
    out.append(text.substr(start));
    return out;
}

// CR LF is the documented form; a lone CR or LF would split the entry's line just the same,
// so it is written as a line break too.
std::string EscapeLineBreaks(std::string_view text)
{
    std::string out = ReplaceAll(text, kCrLf, kLineBreakMark);
    out = ReplaceAll(out, "\r", kLineBreakMark);
    return ReplaceAll(out, "\n", kLineBreakMark);
}

std::string UnescapeLineBreaks(std::string_view text)
{
    return ReplaceAll(text, kLineBreakMark, "\n");
}

std::string FirstLanguageOf(const std::string &list)
{
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t colon = list.find(':', start);
        const std::size_t end = colon == std::string::npos ? list.size() : colon;
        if (end > start)
            return list.substr(start, end - start);
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return {};
}

[[noreturn]] void ThrowWriteError(const std::string &path, int error)
{
    throw TLangFileError(path, std::generic_category().message(error));
}

void WriteAll(const std::string &path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        ThrowWriteError(path, errno);
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            ::close(fd);
            ThrowWriteError(path, error);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::close(fd) != 0)
        ThrowWriteError(path, errno);
}

} // namespace

void TLangList::AddEntry(std::string_view key, std::string_view chinese, std::string_view english)
{
    m_builtIn.keys.emplace_back(key);
    m_builtIn.chinese.emplace_back(chinese);
    m_builtIn.english.emplace_back(english);
}

void TLangList::AddExtraEntry(std::string_view key, std::string_view chinese,
                              std::string_view english)
{
    m_extra.keys.emplace_back(key);
    m_extra.chinese.emplace_back(chinese);
    m_extra.english.emplace_back(english);
}

int TLangList::Find(const Entries &entries, std::string_view key)
{
    for (const auto *list : {&entries.keys, &entries.chinese, &entries.english}) {
        if (const int index = IndexIn(*list, key); index >= 0)
            return index;
    }
    return -1;
}

std::string TLangList::GetLangText(std::string_view key) const
{
    for (const Entries *entries : {&m_file, &m_builtIn}) {
        if (const int index = Find(*entries, key); index >= 0) {
            const auto i = static_cast<std::size_t>(index);
            return IsChinese ? entries->chinese[i] : entries->english[i];
        }
    }
    if (const int index = IndexIn(m_extra.keys, key); index >= 0) {
        const auto i = static_cast<std::size_t>(index);
        return IsChinese ? m_extra.chinese[i] : m_extra.english[i];
    }
    return std::string(key);
}

void TLangList::LoadLangFile(const std::string &path)
{
    struct stat info = {};
    // Only a file that is truly absent is written; one we cannot see is left alone.
    if (::stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
        WriteDefaultLangFile(path);
    IsChinese = SystemIsChinese();
    ReadLangFile(path);
}

void TLangList::WriteDefaultLangFile(const std::string &path) const
{
    std::string text;
    text.append(kHeaderChinese).append(kCrLf);
    text.append(kHeaderEnglish).append(kCrLf);
    text.append(" ").append(kCrLf);
    for (std::size_t i = 0; i < m_builtIn.keys.size(); ++i) {
        text.append(m_builtIn.keys[i]).append("|");
        text.append(EscapeLineBreaks(m_builtIn.chinese[i])).append("|");
        text.append(EscapeLineBreaks(m_builtIn.english[i])).append(kCrLf);
    }
    WriteAll(path, Utf8ToGbk(text));
}

void TLangList::ReadLangFile(const std::string &path)
{
    if (path.empty())
        return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;

    // Lines are cut in GBK bytes (CR and LF never occur inside a GBK character), but split at
    // '|' only after decoding: '|' is a valid second byte of many GBK characters.
    const auto takeLine = [this](std::string_view line) {
        if (line.empty() || line.front() == ';')
            return;
        const std::string text = GbkToUtf8(line);
        const std::size_t first = text.find('|');
        if (first == std::string::npos) {
            m_file.keys.emplace_back();
            m_file.chinese.emplace_back();
            m_file.english.emplace_back();
            return;
        }
        const std::size_t second = text.find('|', first + 1);
        const std::size_t last = text.rfind('|');
        m_file.keys.push_back(text.substr(0, first));
        m_file.chinese.push_back(
            second == std::string::npos
                ? std::string()
                : UnescapeLineBreaks(std::string_view(text).substr(first + 1, second - first - 1)));
        m_file.english.push_back(UnescapeLineBreaks(std::string_view(text).substr(last + 1)));
    };

    std::string pending;
    std::size_t total = 0;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            pending.clear(); // a line cut off by the error is not a whole entry
            break;
        }
        if (got == 0)
            break;
        const std::size_t count = static_cast<std::size_t>(got);
        total += count;
        const std::string_view chunk(buffer, count);
        std::size_t start = 0;
        // CR LF gives an empty line between CR and LF, which is skipped like any other.
        for (std::size_t end = chunk.find_first_of("\r\n"); end != std::string_view::npos;
             end = chunk.find_first_of("\r\n", start)) {
            pending.append(chunk.substr(start, end - start));
            takeLine(pending);
            pending.clear();
            start = end + 1;
        }
        pending.append(chunk.substr(start));
        if (total > kMaxLangFileBytes) {
            pending.clear();
            break;
        }
    }
    ::close(fd);
    takeLine(pending);
}

bool TLangList::SystemIsChinese()
{
    const auto env = [](const char *name) {
        const char *value = std::getenv(name);
        return value ? std::string(value) : std::string();
    };
    std::string locale = FirstLanguageOf(env("LANGUAGE"));
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (!locale.empty())
            break;
        locale = env(name);
    }
    return locale.size() >= 2 && (locale[0] == 'z' || locale[0] == 'Z')
           && (locale[1] == 'h' || locale[1] == 'H');
}

std::vector<TLangEntry> TLangList::FileEntries() const
{
    std::vector<TLangEntry> entries;
    entries.reserve(m_file.keys.size());
    for (std::size_t i = 0; i < m_file.keys.size(); ++i)
        entries.push_back({m_file.keys[i], m_file.chinese[i], m_file.english[i]});
    return entries;
}

TLangList *LangList()
{
    return g_langList.get();
}

std::string LangText(std::string_view key)
{
    return g_langList ? g_langList->GetLangText(key) : std::string(key);
}

std::string LangFormat(std::string_view key, std::initializer_list<std::string_view> args)
{
    const std::string format = LangText(key);
    std::string out;
    std::size_t start = 0;
    auto arg = args.begin();
    for (std::size_t mark = format.find("%s"); mark != std::string::npos && arg != args.end();
         mark = format.find("%s", start), ++arg) {
        out.append(format, start, mark - start).append(*arg);
        start = mark + 2;
    }
    out.append(format, start);
    return out;
}

TLangFileProblem InitLanguage()
{
    return InitLanguage(DataFolder() + std::string(kLangFileName));
}

TLangFileProblem InitLanguage(const std::string &langFilePath)
{
    // The list is in place before the file is touched, so a write error still leaves the
    // built-in texts in use.
    g_langList = std::make_unique<TLangList>();
    FillTextTable(*g_langList);
    FillExtraTexts(*g_langList);
    try {
        g_langList->LoadLangFile(langFilePath);
    } catch (const TLangFileError &error) {
        g_langList->IsChinese = TLangList::SystemIsChinese();
        return {langFilePath, error.Reason};
    }
    return {};
}

void InitBuiltInLanguage(bool chinese)
{
    g_langList = std::make_unique<TLangList>();
    FillTextTable(*g_langList);
    FillExtraTexts(*g_langList);
    g_langList->IsChinese = chinese;
}

void ReleaseLanguage()
{
    g_langList.reset();
}

} // namespace m845
