#pragma once

// The device's command vocabulary and the queue of complete command lines.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace m845 {

// A member's name is its text on the wire; the order is the device's.
enum class TCmd : std::uint8_t {
    H, E, Z, VER, HDVER, ENTM, SN, ICCID, MEID, IMEI, STMSG, RELD, CLEAR, CFGTF, WKMOD, CMDPW,
    UART, RFCEN, UARTFT, UARTFL, APN, SOCKA, SOCKB, SOCKAEN, SOCKBEN, SOCKASL, SOCKBSL, SOCKALK,
    SOCKBLK, SOCKATO, SOCKBTO, SOCKC, SOCKD, SOCKCEN, SOCKDEN, SOCKCSL, SOCKDSL, SOCKCLK, SOCKDLK,
    SOCKCTO, SOCKDTO, SOCKRSTIM, SOCKIND, REGEN, REGTP, REGDT, REGSND, HEARTEN, HEARTDT, HEARTSND,
    HEARTTM, HTPTP, HTPURL, HTPSV, HTPHD, HTPTO, HTPFLT, DSTNUM, SMSFLT, SMSPH, CLOUD, CSQ, ID, RSTIM,
};

inline constexpr int kCmdCount = 64;
// What CmdOfName gives for a text that names no command; outside 0..63.
inline constexpr TCmd kNoCmd = static_cast<TCmd>(0xFF);

inline constexpr std::string_view LineEnd = "\r\n";

[[nodiscard]] std::string_view CmdName(TCmd cmd);
// Letter case is ignored; kNoCmd when nothing matches.
[[nodiscard]] TCmd CmdOfName(std::string_view text);

// The program's one command queue and its cursor, used from the window thread only.
void QueueClear();
void QueueAdd(std::string_view text);
void QueueAddAt(std::string_view text);
void QueueAddQuery(TCmd cmd);
void QueueAddSet(TCmd cmd, std::string_view value);
void QueueAddSet(std::string_view name, std::string_view value);
// The empty text at or past the end (and for a negative index).
[[nodiscard]] std::string QueueEntry(int index);
[[nodiscard]] int QueueCount();
void QueueInsertEntryPair();

// The cursor: 0 after every clearing, never negative.
extern int QueueCursor;

} // namespace m845
