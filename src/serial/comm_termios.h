#pragma once

// Line settings of a serial device through the kernel's termios2, which also carries the
// rates that have no B constant (14400, 28800, 33600 ...).

#include <cstdint>

#include "serial/comm.h"

namespace m845::detail {

struct CommLineSettings
{
    std::uint32_t baudRate = 9600;
    TByteSize byteSize = TByteSize::_8;
    TParity parity = TParity::None;
    TStopBits stopBits = TStopBits::_1;
    bool parityCheck = false;
    bool ctsFlow = false;
    bool outXonXoff = false;
    bool inXonXoff = false;
    char xonChar = 17;
    char xoffChar = 19;
    TDtrControl dtrControl = TDtrControl::DtrEnable;
    TRtsControl rtsControl = TRtsControl::RtsEnable;
};

// Raw byte stream with the given framing, flow control and modem lines. A setting the driver
// refuses is not reported (a pty refuses parity and the modem lines); false only when the
// descriptor is no terminal at all.
bool ApplyCommLineSettings(int fd, const CommLineSettings &settings);

// The output rate the driver holds, in bits per second (0 when it cannot be read).
[[nodiscard]] std::uint32_t CommLineBaudRate(int fd);

} // namespace m845::detail
