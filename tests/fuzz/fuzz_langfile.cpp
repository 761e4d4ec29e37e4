// A language file of any bytes (GBK decoding included): read as far as it goes, never a crash,
// and every key then still finds a text.

#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "lang/langlist.h"
#include "lang/texttable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const int fd = memfd_create("m845-langfile", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) {
        ::close(fd);
        return 0;
    }
    m845::TLangList list;
    m845::FillTextTable(list);
    list.ReadLangFile("/proc/self/fd/" + std::to_string(fd));
    ::close(fd);
    for (const bool chinese : {false, true}) {
        list.IsChinese = chinese;
        for (const char *key : {"lang_btnOpen", "info_DoOver", "LANG_BTNCLOSE", "", "|"})
            (void)list.GetLangText(key);
    }
    for (const m845::TLangEntry &entry : list.FileEntries())
        (void)list.GetLangText(entry.key);
    return 0;
}
