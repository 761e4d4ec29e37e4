#pragma once

// The link between the serial tool bar and the port: open and close with the chosen
// settings, the two send primitives, the line-error reopen and the receive routing.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <QObject>

#include "core/link.h"
#include "core/readinterval.h"

namespace m845 {

class ILog;
class ITimer;
class TComm;

// What the link reads from the serial tool bar at each open.
class IPortSettings
{
public:
    virtual ~IPortSettings() = default;
    [[nodiscard]] virtual std::string PortText() const = 0;
    [[nodiscard]] virtual std::string BaudText() const = 0;
    // Item indexes: parity NONE/ODD/EVEN, data bits 7/8, stop bits 1/2; -1 when none.
    [[nodiscard]] virtual int ParityIndex() const = 0;
    [[nodiscard]] virtual int DataBitsIndex() const = 0;
    [[nodiscard]] virtual int StopBitsIndex() const = 0;
};

// Tag values of the open/close button: what its next click does.
inline constexpr int kBtnTagOpen = 1;
inline constexpr int kBtnTagClose = 2;
inline constexpr int kBtnTagChooseFirmware = 3;

// Read interval that ends a received block, by baud rate.
[[nodiscard]] std::uint32_t ReadIntervalForBaud(std::uint32_t baud);

class TLinkControl final : public QObject, public ILink, public IReadInterval
{
    Q_OBJECT
public:
    // rcvTimer is the sequencer's reply timer; it may be null until the sequencer exists.
    TLinkControl(TComm &comm, const IPortSettings &settings, ILog &log, ITimer *rcvTimer = nullptr);
    ~TLinkControl() override;
    TLinkControl(const TLinkControl &) = delete;
    TLinkControl &operator=(const TLinkControl &) = delete;

    [[nodiscard]] bool OpenLink();
    void CloseLink();
    // Opens a port that came back, with the tool bar's settings as they stand, and shows the
    // button as open. 0 when open, else why not: an errno of the open, EINVAL for a port or
    // baud rate the tool bar does not give.
    [[nodiscard]] int ReopenLink();
    // The reason of the last failed open, as a line of the log (nothing when unknown).
    void LogOpenFailure();
    // The open/close button's click: its tag decides.
    void btnSysClick();
    // A click on a tool-bar button that carries its own tag (3: the firmware file choice).
    void btnSysClick(int tag);
    [[nodiscard]] int ButtonTag() const { return m_buttonTag; }
    // The firmware upgrade switches the button into file choice (tag 3) and back.
    void SetButtonTag(int tag);

    void SendText(std::string_view text) override;
    void SendData(std::string_view data) override;
    [[nodiscard]] bool IsPortOpen() const override { return m_isPortOpen; }
    [[nodiscard]] const std::string &LastSentText() const override { return m_lastSentText; }
    bool WriteData(const std::uint8_t *data, std::uint16_t length) override;
    void ExpectBlockLength(std::uint16_t length) override;
    void PrepareReply(std::uint8_t answer, const std::uint8_t *reply, std::uint16_t length,
                      std::uint16_t replyAnswerLength) override;
    bool TakeBackReply() override;

    void SetRcvTimer(ITimer *timer) { m_rcvTimer = timer; }

    // Every received block; the block is valid only during the call. Until the sequencer
    // takes over, blocks are logged as other received data.
    std::function<void(const std::uint8_t *buffer, std::uint16_t length)> DispatchReceived;
    // The button's tag changed (the window shows the caption and image of the tag).
    std::function<void(int tag)> OnButtonTagChanged;
    // Tag 3: the firmware upgrade's file choice.
    std::function<void()> ChooseFirmwareFile;
    // Adds to the sent-bytes counter; SendData is its only caller.
    std::function<void(std::uint32_t count)> CountTx;

    // Handlers of the component's events (public so a test can drive them).
    void cm1ReceiveData(const std::uint8_t *buffer, std::uint16_t length);
    void cm1ReceiveError(std::uint32_t eventMask);
    void cm1RequestHangup();

signals:
    // The port was opened (true) or closed (false), before any of its data is handled.
    void PortOpenChanged(bool open);
    // The open port went away (the adapter pulled): closed, not by the user.
    void PortLost();

private:
    // Writes in pieces the component's 16-bit length can carry.
    bool WriteAll(std::string_view data);

    TComm &m_comm;
    const IPortSettings &m_settings;
    ILog &m_log;
    ITimer *m_rcvTimer = nullptr;
    bool m_isPortOpen = false;
    std::string m_lastSentText;
    int m_buttonTag = kBtnTagOpen;
    int m_lastFailure = 0;
    bool m_lineErrorsReported = false;
};

} // namespace m845
