// A language file of any bytes (GBK decoding included): read as far as it goes, never a crash,
// and every key then still finds a text.

#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "lang/langlist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // One file for the whole run, rewritten for each input.
    static const int fd = memfd_create("m845-langfile", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ::ftruncate(fd, 0) != 0
        || (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
        return 0;
    // Two built-in texts and one of our own stand for the table: a file's key may hide them, and
    // a key of none falls through to itself. The whole table would cost more than the file.
    m845::TLangList list;
    // Once a run, the two files that are not there: no name, and a name of nothing.
    static const bool missingRead = [&list] {
        list.ReadLangFile("");
        list.ReadLangFile("/nonexistent/M845Lang.txt");
        return true;
    }();
    (void)missingRead;
    list.AddEntry("lang_btnOpen", "打开串口", "Open");
    list.AddEntry("info_DoOver", "操作完成", "Operation complete");
    list.AddExtraEntry("info_FwPortLost", "串口已断开", "The port is gone");
    list.ReadLangFile(path);
    for (const bool chinese : {false, true}) {
        list.IsChinese = chinese;
        for (const char *key :
             {"lang_btnOpen", "info_DoOver", "LANG_BTNOPEN", "info_FwPortLost", "", "|"})
            (void)list.GetLangText(key);
    }
    for (const m845::TLangEntry &entry : list.FileEntries())
        (void)list.GetLangText(entry.key);
    return 0;
}
