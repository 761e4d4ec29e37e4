#include "devsim/xmodemreceiver.h"

#include "support/conversions.h"

namespace m845::devsim {

void XmodemReceiver::Receive(std::string_view bytes, std::vector<std::string> &replies)
{
    for (const char byte : bytes) {
        if (m_finished || m_cancelled) {
            return;
        }
        if (!m_block.empty()) {
            m_block.push_back(byte);
            if (m_block.size() == kBlockSize) {
                CheckBlock(replies);
            }
            continue;
        }
        switch (byte) {
        case kSoh:
            m_started = true;
            m_stray = false;
            m_block.push_back(byte);
            break;
        case kEot:
            m_finished = true;
            replies.emplace_back(kFinalReply);
            break;
        case kCan:
            m_cancelled = true;
            break;
        default:
            // Line noise between blocks; refused once the line is quiet again.
            m_stray = true;
            break;
        }
    }
}

void XmodemReceiver::Purge(std::vector<std::string> &replies)
{
    if (m_block.empty() && !m_stray) {
        return;
    }
    m_block.clear();
    m_stray = false;
    Nak(replies);
}

void XmodemReceiver::Nak(std::vector<std::string> &replies)
{
    ++m_naks;
    replies.emplace_back(1, kNak);
}

void XmodemReceiver::CheckBlock(std::vector<std::string> &replies)
{
    const std::string block = std::move(m_block);
    m_block.clear();
    const auto *raw = reinterpret_cast<const std::uint8_t *>(block.data());
    const std::uint8_t number = raw[1];
    const bool complementOk = static_cast<std::uint8_t>(number + raw[2]) == 0xFF;
    const std::uint16_t crc = static_cast<std::uint16_t>((raw[131] << 8) | raw[132]);
    if (!complementOk || Crc16Xmodem(raw, 3, 128) != crc) {
        Nak(replies);
        return;
    }
    if (number == static_cast<std::uint8_t>(m_expected - 1) && m_accepted > 0) {
        // The sender missed our ACK and repeated the block: acknowledge, keep one copy.
        replies.emplace_back(1, kAck);
        return;
    }
    if (number != m_expected) {
        Nak(replies);
        return;
    }
    if (m_nakEvery > 0 && (m_accepted + 1) % m_nakEvery == 0 && m_injectedFor != m_accepted + 1) {
        m_injectedFor = m_accepted + 1;
        Nak(replies);
        return;
    }
    m_image.append(block, 3, 128);
    ++m_accepted;
    ++m_expected;
    replies.emplace_back(1, kAck);
}

} // namespace m845::devsim
