#pragma once

// Every text the user sees, by key, in Chinese or English. Texts are held as UTF-8;
// the language file is GBK with CR LF line ends.

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

class TLangList final
{
public:
    void AddEntry(std::string_view key, std::string_view chinese, std::string_view english);
    [[nodiscard]] std::string GetLangText(std::string_view key) const;
    // Writes the file when missing, takes the system language, then reads the file.
    // A file that cannot be written throws std::runtime_error naming the path.
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
};

// The program's one list, created by InitLanguage and released by ReleaseLanguage.
[[nodiscard]] TLangList *LangList();
[[nodiscard]] std::string LangText(std::string_view key);
// Creates the list, fills the built-in table and loads DataFolder() + "M845Lang.txt".
void InitLanguage();
// Same, with the language file at the given path (tests).
void InitLanguage(const std::string &langFilePath);
void ReleaseLanguage();

inline constexpr std::string_view kLangFileName = "M845Lang.txt";

} // namespace m845
