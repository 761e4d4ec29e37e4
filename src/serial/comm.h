#pragma once

// One full-duplex serial port: a receive thread that cuts the stream into blocks by
// line silence, a transmit thread with its own FIFO, and notifications delivered on
// the owner's thread (the thread that created the component) in posting order.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace m845 {

class ECommsError final : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class TParity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class TByteSize : std::uint8_t { _5, _6, _7, _8 };
enum class TStopBits : std::uint8_t { _1, _1_5, _2 };
enum class TDtrControl : std::uint8_t { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl : std::uint8_t { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };

class TComm;
// buffer is followed in memory by one zero byte; valid only during the call.
using TReceiveDataEvent = std::function<void(TComm &sender, const std::uint8_t *buffer, std::uint16_t length)>;
using TReceiveErrorEvent = std::function<void(TComm &sender, std::uint32_t eventMask)>;
using TModemStateChangeEvent = std::function<void(TComm &sender, std::uint32_t modemEvent)>;
using TNotifyEvent = std::function<void(TComm &sender)>;

// Line error flags reported through OnReceiveError (or-ed).
inline constexpr std::uint32_t kCommErrorFrame = 0x08;
inline constexpr std::uint32_t kCommErrorOverrun = 0x02;
inline constexpr std::uint32_t kCommErrorParity = 0x04;
inline constexpr std::uint32_t kCommErrorBreak = 0x10;
// The driver's input buffer overflowed (bytes lost before they could be read).
inline constexpr std::uint32_t kCommErrorRxOver = 0x01;
// Modem events reported through OnModemStateChange (or-ed).
inline constexpr std::uint32_t kModemEventCarrier = 8;
inline constexpr std::uint32_t kModemEventRing = 4;

// Cumulative counters of a serial driver (TIOCGICOUNT): line errors and modem-line changes.
struct TCommLineCounters
{
    std::uint32_t frame = 0;
    std::uint32_t overrun = 0;
    std::uint32_t parity = 0;
    std::uint32_t brk = 0;
    std::uint32_t bufOverrun = 0;
    std::uint32_t dcd = 0;
    std::uint32_t rng = 0;
};

// Where the port threads learn of line errors and modem events. The real one asks the driver;
// a test substitutes a fake, since a pseudo-terminal produces neither. Called on the port
// threads, so an implementation must be thread-safe.
class ICommLineDriver
{
public:
    virtual ~ICommLineDriver() = default;
    // False when the driver keeps no counters (a pty): errors and modem events then go unseen.
    virtual bool ReadCounters(int fd, TCommLineCounters &counters) = 0;
    // Blocks until carrier detect or ring changes: 1 changed, 0 interrupted by a signal
    // (the caller looks at its stop mark and waits again), -1 unsupported or failed.
    virtual int WaitModemChange(int fd) = 0;
};

class TComm final
{
public:
    TComm();
    // Closes an open port first, so no thread outlives the component.
    ~TComm();
    TComm(const TComm &) = delete;
    TComm &operator=(const TComm &) = delete;

    // Throws ECommsError with the exact messages of the component.
    void OpenPort();
    // Returns after both threads have ended; does nothing when closed.
    void ClosePort();
    // Copies the bytes and queues them; false when closed, length 0, or the transmit thread has ended.
    bool WriteData(const void *data, std::uint16_t length);
    // The next block handed to the owner ends as soon as it holds `length` bytes, unless the
    // line falls silent first; bytes that came with them start the block after it, and that one
    // and all later ones are cut by silence again. Set it before the write that asks for an
    // answer of that length, so the answer cannot come first. 0 takes it back, and so does
    // closing the port; while closed it does nothing.
    void SetNextBlockLength(std::uint16_t length);
    // A reply written from the receive thread the moment the awaited answer is in, so it does
    // not wait for the owner's thread to wake: when the next block is cut at its set length
    // (SetNextBlockLength), is one byte and that byte is `answer`, `reply` is written before
    // the block is handed over, and the block after it is awaited at `replyAnswerLength`. Any
    // other block cut at its length puts the reply aside unsent, as do TakeBackReply and
    // closing the port. The bytes are copied; a later call replaces an earlier one.
    void PrepareReply(std::uint8_t answer, const void *reply, std::uint16_t length,
                      std::uint16_t replyAnswerLength);
    // True when the prepared reply went; either way none is left prepared. The owner takes it
    // back when it handles the answer, so it knows whether it still has to send.
    bool TakeBackReply();

    [[nodiscard]] bool IsOpen() const;
    // errno of the last failed OpenPort (ENOENT, EACCES, EBUSY/EAGAIN ...), 0 after a good one;
    // lets the window say why, since the exception's text is fixed.
    [[nodiscard]] int LastOpenError() const;
    // The open descriptor, -1 when closed.
    [[nodiscard]] int ComHandle() const;
    // "ttyUSB0" means /dev/ttyUSB0; a name with a '/' is used as the path.
    [[nodiscard]] static std::string DevicePath(const std::string &commName);
    // Replaces the driver's counters and modem waits (tests); nullptr restores the real driver.
    // Takes effect at the next OpenPort.
    void SetLineDriver(std::shared_ptr<ICommLineDriver> driver);

    // Properties. Line settings re-apply at once while open (Parity only with the next
    // other change or open); the five time-outs likewise; CommName at the next open.
    std::string CommName() const;
    void SetCommName(const std::string &name);
    std::uint32_t BaudRate() const;
    void SetBaudRate(std::uint32_t value);
    bool ParityCheck() const;
    void SetParityCheck(bool value);
    bool Outx_CtsFlow() const;
    void SetOutx_CtsFlow(bool value);
    bool Outx_DsrFlow() const;
    void SetOutx_DsrFlow(bool value);
    TDtrControl DtrControl() const;
    void SetDtrControl(TDtrControl value);
    bool DsrSensitivity() const;
    void SetDsrSensitivity(bool value);
    bool TxContinueOnXoff() const;
    void SetTxContinueOnXoff(bool value);
    bool Outx_XonXoffFlow() const;
    void SetOutx_XonXoffFlow(bool value);
    bool Inx_XonXoffFlow() const;
    void SetInx_XonXoffFlow(bool value);
    bool ReplaceWhenParityError() const;
    void SetReplaceWhenParityError(bool value);
    bool IgnoreNullChar() const;
    void SetIgnoreNullChar(bool value);
    TRtsControl RtsControl() const;
    void SetRtsControl(TRtsControl value);
    std::uint16_t XonLimit() const;
    void SetXonLimit(std::uint16_t value);
    std::uint16_t XoffLimit() const;
    void SetXoffLimit(std::uint16_t value);
    TByteSize ByteSize() const;
    void SetByteSize(TByteSize value);
    TParity Parity() const;
    void SetParity(TParity value);
    TStopBits StopBits() const;
    void SetStopBits(TStopBits value);
    char XonChar() const;
    void SetXonChar(char value);
    char XoffChar() const;
    void SetXoffChar(char value);
    char ReplacedChar() const;
    void SetReplacedChar(char value);
    std::uint32_t ReadIntervalTimeout() const;
    void SetReadIntervalTimeout(std::uint32_t ms);
    std::uint32_t ReadTotalTimeoutMultiplier() const;
    void SetReadTotalTimeoutMultiplier(std::uint32_t ms);
    std::uint32_t ReadTotalTimeoutConstant() const;
    void SetReadTotalTimeoutConstant(std::uint32_t ms);
    std::uint32_t WriteTotalTimeoutMultiplier() const;
    void SetWriteTotalTimeoutMultiplier(std::uint32_t ms);
    std::uint32_t WriteTotalTimeoutConstant() const;
    void SetWriteTotalTimeoutConstant(std::uint32_t ms);

    TReceiveDataEvent OnReceiveData;
    TReceiveErrorEvent OnReceiveError;
    TModemStateChangeEvent OnModemStateChange;
    TNotifyEvent OnRequestHangup;
    TNotifyEvent OnSendDataEmpty;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace m845
