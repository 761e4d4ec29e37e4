#pragma once

// The component's settings and its open session, shared by the files that implement TComm.

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "serial/comm.h"
#include "serial/comm_link.h"
#include "serial/comm_termios.h"

namespace m845 {

namespace detail {
class CommNotifier;
} // namespace detail

struct TComm::Private
{
    std::string commName = "COM2";
    std::uint32_t baudRate = 9600;
    bool parityCheck = false;
    bool outxCtsFlow = true;
    bool outxDsrFlow = true;
    TDtrControl dtrControl = TDtrControl::DtrEnable;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = true;
    bool outxXonXoffFlow = false;
    bool inxXonXoffFlow = false;
    bool replaceWhenParityError = false;
    bool ignoreNullChar = false;
    TRtsControl rtsControl = TRtsControl::RtsEnable;
    std::uint16_t xonLimit = 10;
    std::uint16_t xoffLimit = 10;
    TByteSize byteSize = TByteSize::_8;
    TParity parity = TParity::None;
    TStopBits stopBits = TStopBits::_1;
    char xonChar = 17;
    char xoffChar = 19;
    char replacedChar = 0;
    std::uint32_t readIntervalTimeout = 10;
    std::uint32_t readTotalTimeoutMultiplier = 0;
    std::uint32_t readTotalTimeoutConstant = 0;
    std::uint32_t writeTotalTimeoutMultiplier = 0;
    std::uint32_t writeTotalTimeoutConstant = 0;

    int lastOpenError = 0;
    std::uint64_t sessionCount = 0;
    std::shared_ptr<ICommLineDriver> lineDriver;
    detail::CommNotifier *notifier = nullptr;
    std::unique_ptr<detail::CommLink> link;
    std::thread reader;
    std::thread writer;
    std::thread watcher;

    void ApplyLineSettings() const
    {
        if (!link)
            return;
        detail::CommLineSettings line;
        line.baudRate = baudRate;
        line.byteSize = byteSize;
        line.parity = parity;
        line.stopBits = stopBits;
        line.parityCheck = parityCheck;
        line.ctsFlow = outxCtsFlow;
        line.outXonXoff = outxXonXoffFlow;
        line.inXonXoff = inxXonXoffFlow;
        line.xonChar = xonChar;
        line.xoffChar = xoffChar;
        line.dtrControl = dtrControl;
        line.rtsControl = rtsControl;
        (void)detail::ApplyCommLineSettings(link->fd, line);
        link->ignoreNull.store(ignoreNullChar);
    }

    void ApplyTimeouts() const
    {
        if (!link)
            return;
        link->readInterval.store(readIntervalTimeout);
        link->readTotalMultiplier.store(readTotalTimeoutMultiplier);
        link->readTotalConstant.store(readTotalTimeoutConstant);
        link->writeTotalMultiplier.store(writeTotalTimeoutMultiplier);
        link->writeTotalConstant.store(writeTotalTimeoutConstant);
    }

    template <typename T> void SetLine(T &field, T value)
    {
        if (field == value)
            return;
        field = value;
        ApplyLineSettings();
    }

    template <typename T> void SetTimeout(T &field, T value)
    {
        if (field == value)
            return;
        field = value;
        ApplyTimeouts();
    }

    // Ends the modem watcher, which may be blocked in the driver.
    void StopWatcher();
    // Ends every thread there is and releases the session (ClosePort, and a failed open).
    void Shutdown();
    static void Release(std::unique_ptr<detail::CommLink> session);
    [[noreturn]] void Fail(int error, const char *message);
};

} // namespace m845
