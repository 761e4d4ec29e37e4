#pragma once

// The boot loader's XModem-CRC receiver: 128-byte blocks, each checked and answered
// with ACK or NAK; EOT ends the image, which keeps the sender's padding.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace m845::devsim {

inline constexpr char kSoh = 0x01;
inline constexpr char kEot = 0x04;
inline constexpr char kAck = 0x06;
inline constexpr char kNak = 0x15;
inline constexpr char kCan = 0x18;

class XmodemReceiver final
{
public:
    // nakEvery > 0 refuses every such block once, the first time it arrives intact.
    explicit XmodemReceiver(int nakEvery = 0)
        : m_nakEvery(nakEvery)
    {}

    // Each reply is one answer, to leave as a burst of its own.
    void Receive(std::string_view bytes, std::vector<std::string> &replies);
    // An incomplete block or stray bytes after the line fell silent: dropped and refused.
    void Purge(std::vector<std::string> &replies);

    [[nodiscard]] bool Started() const { return m_started; }
    [[nodiscard]] bool Finished() const { return m_finished; }
    [[nodiscard]] bool Cancelled() const { return m_cancelled; }
    [[nodiscard]] bool HasPartial() const { return !m_block.empty(); }
    [[nodiscard]] const std::string &Image() const { return m_image; }
    [[nodiscard]] int BlocksAccepted() const { return m_accepted; }
    [[nodiscard]] int NaksSent() const { return m_naks; }

    static constexpr std::size_t kBlockSize = 133;
    // The final answer to EOT, one burst: ACK, CR LF and the boot loader's prompt.
    static constexpr std::string_view kFinalReply = "\x06\r\n>";

private:
    void CheckBlock(std::vector<std::string> &replies);
    void Nak(std::vector<std::string> &replies);

    int m_nakEvery = 0;
    std::string m_block;
    std::string m_image;
    std::uint8_t m_expected = 1;
    int m_accepted = 0;
    int m_naks = 0;
    int m_injectedFor = -1; // index of the block already refused on purpose
    bool m_started = false;
    bool m_finished = false;
    bool m_cancelled = false;
    bool m_stray = false; // bytes that start no block
};

} // namespace m845::devsim
