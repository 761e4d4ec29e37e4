#pragma once

// The queries a read-all puts on the wire, in the order the device must see them: written out
// by hand, so that a change of the read list shows in the tests that watch the wire.

#include <string>
#include <vector>

namespace m845::test {

inline const std::vector<std::string> kReadAllQueries = {
    "AT+VER?",       "AT+E?",       "AT+WKMOD?",   "AT+CMDPW?",    "AT+STMSG?",   "AT+RSTIM?",
    "AT+SN?",        "AT+ICCID?",   "AT+IMEI?",    "AT+UART?",     "AT+UARTFT?",  "AT+UARTFL?",
    "AT+APN?",       "AT+SOCKA?",   "AT+SOCKB?",   "AT+SOCKAEN?",  "AT+SOCKBEN?", "AT+SOCKASL?",
    "AT+SOCKBSL?",   "AT+SOCKALK?", "AT+SOCKBLK?", "AT+SOCKATO?",  "AT+SOCKBTO?", "AT+SOCKIND?",
    "AT+SOCKRSTIM?", "AT+REGEN?",   "AT+REGTP?",   "AT+REGDT?",    "AT+REGSND?",  "AT+CLOUD?",
    "AT+ID?",        "AT+HEARTEN?", "AT+HEARTDT?", "AT+HEARTSND?", "AT+HEARTTM?", "AT+HTPTP?",
    "AT+HTPURL?",    "AT+HTPSV?",   "AT+HTPHD?",   "AT+HTPTO?",    "AT+HTPFLT?",
};

} // namespace m845::test
