#include "serial/comm_termios.h"

#include <array>
#include <utility>

// The kernel's own termios headers: glibc's <termios.h> and <sys/ioctl.h> define a struct
// termios of another shape and cannot be mixed with termios2 in one file.
#include <asm/termios.h>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace m845::detail {

namespace {

constexpr std::array<std::pair<std::uint32_t, unsigned>, 30> kStandardRates{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

// A standard rate keeps its B constant, so tools that read the old termios see it; any other
// rate goes as BOTHER with the number itself.
void SetRate(termios2 &tio, std::uint32_t rate)
{
    unsigned code = BOTHER;
    for (const auto &[bps, constant] : kStandardRates) {
        if (bps == rate) {
            code = constant;
            break;
        }
    }
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= code | (code << IBSHIFT);
    tio.c_ispeed = rate;
    tio.c_ospeed = rate;
}

void SetModemLine(int fd, int line, bool on)
{
    // ENOTTY on a pty, EINVAL on adapters without the line: neither is a failure of the port.
    (void)ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

} // namespace

bool ApplyCommLineSettings(int fd, const CommLineSettings &settings)
{
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return false;

    // What cfmakeraw does: no line editing, no echo, no translation of any byte.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF
                     | IXANY | INPCK | IGNPAR);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;

    static constexpr std::array<unsigned, 4> kSizes{CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[static_cast<std::size_t>(settings.byteSize) % kSizes.size()];

    switch (settings.parity) {
    case TParity::None:
        break;
    case TParity::Odd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case TParity::Even:
        tio.c_cflag |= PARENB;
        break;
    case TParity::Mark:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case TParity::Space:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    // A byte with a bad parity is read as a zero byte and counted by the driver.
    if (settings.parityCheck && settings.parity != TParity::None)
        tio.c_iflag |= INPCK;
    // Termios knows no 1.5 stop bits; two is the nearest that still receives one and a half.
    if (settings.stopBits != TStopBits::_1)
        tio.c_cflag |= CSTOPB;

    const bool rtsHandshake = settings.rtsControl == TRtsControl::RtsHandshake;
    if (settings.ctsFlow || rtsHandshake)
        tio.c_cflag |= CRTSCTS;
    if (settings.outXonXoff)
        tio.c_iflag |= IXON;
    if (settings.inXonXoff)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(settings.xonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(settings.xoffChar);

    SetRate(tio, settings.baudRate);
    (void)ioctl(fd, TCSETS2, &tio);

    // Handshake modes have no termios counterpart for DTR; holding it on lets the peer talk.
    SetModemLine(fd, TIOCM_DTR, settings.dtrControl != TDtrControl::DtrDisable);
    if (!rtsHandshake)
        SetModemLine(fd, TIOCM_RTS, settings.rtsControl != TRtsControl::RtsDisable);
    return true;
}

std::uint32_t CommLineBaudRate(int fd)
{
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    const unsigned code = tio.c_cflag & CBAUD;
    if (code == BOTHER)
        return tio.c_ospeed;
    for (const auto &[bps, constant] : kStandardRates) {
        if (constant == code)
            return bps;
    }
    return tio.c_ospeed;
}

} // namespace m845::detail
