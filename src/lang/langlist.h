#pragma once

// Every text the user sees, by key, in Chinese or English. Texts are held as UTF-8;
// the language file is GBK with CR LF line ends.

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace m845 {

struct TLangEntry
{
    std::string key;
    std::string chinese;
    std::string english;
};

class TLangFileError final : public std::runtime_error
{
public:
    TLangFileError(const std::string &path, std::string reason)
        : std::runtime_error("Cannot write the language file " + path + ": " + reason)
        , Reason(std::move(reason))
    {}
    std::string Reason;
};

class TLangList final
{
public:
    void AddEntry(std::string_view key, std::string_view chinese, std::string_view english);
    // Texts of our own beyond the built-in table: found by key only, after the file and the
    // table, and never written to the language file (its form is fixed).
    void AddExtraEntry(std::string_view key, std::string_view chinese, std::string_view english);
    [[nodiscard]] std::string GetLangText(std::string_view key) const;
    // Writes the file when missing, takes the system language, then reads the file.
    // A file that cannot be written throws TLangFileError.
    void LoadLangFile(const std::string &path);
    void WriteDefaultLangFile(const std::string &path) const;
    // Reads what it can; stops silently at the first fault.
    void ReadLangFile(const std::string &path);
    [[nodiscard]] static bool SystemIsChinese();
    // The entries read from the language file, in file order.
    [[nodiscard]] std::vector<TLangEntry> FileEntries() const;

    bool IsChinese = false;

private:
    struct Entries
    {
        std::vector<std::string> keys, chinese, english;
    };
    [[nodiscard]] static int Find(const Entries &entries, std::string_view key);

    Entries m_file;
    Entries m_builtIn;
    Entries m_extra;
};

// The program's one list, created by InitLanguage and released by ReleaseLanguage.
[[nodiscard]] TLangList *LangList();
// The one text look-up of the program. Before the list exists (tests, early start-up) the key
// itself is shown, as a missing key would be.
[[nodiscard]] std::string LangText(std::string_view key);
// LangText with each "%s" replaced by the next argument, in order.
[[nodiscard]] std::string LangFormat(std::string_view key,
                                     std::initializer_list<std::string_view> args);

// Why the language file could not be written; empty when nothing went wrong.
struct TLangFileProblem
{
    std::string path;
    std::string reason;
    [[nodiscard]] bool empty() const { return path.empty(); }
};

// Creates the list, fills the built-in table and loads DataFolder() + "M845Lang.txt". A file
// that cannot be written leaves the built-in texts in use and is reported, never thrown.
TLangFileProblem InitLanguage();
// Same, with the language file at the given path (tests).
TLangFileProblem InitLanguage(const std::string &langFilePath);
// The built-in texts alone, in the given language: no language file is read or written, for
// runs that must leave the user's folder as it is.
void InitBuiltInLanguage(bool chinese);
void ReleaseLanguage();

inline constexpr std::string_view kLangFileName = "M845Lang.txt";

} // namespace m845
