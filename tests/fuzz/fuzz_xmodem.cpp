// The firmware sender driven by a script of received blocks (any bytes, and the receiver's
// answers), block-timer ticks, a port that comes and goes, file choices and a file that
// changes under it. Never a crash, every write a well-formed block or a single control byte,
// block numbers only repeat, advance by one or start over, and success is reported only after
// every block of the file and the end byte were acknowledged.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "common/fake_fwwindow.h"
#include "firmware/firmwareupgrade.h"
#include "firmware/fw_fakes.h"
#include "firmware/fw_testdata.h"
#include "fuzz/fuzz_input.h"
#include "protocol/fakes.h"
#include "support/conversions.h"

namespace {

using m845::TXmodemState;

constexpr std::string_view kAnswers[] = {
    "\x06",  "\x15",    "C", "\x06\r\n>", "Y\r\n", m845::test::kBootMenu, m845::test::kBootConfirm,
    "\r\n>", "\x06\x06"};

// A real file: the sender refuses one without a name (a memfd has no link). In memory where the
// machine has it, since it is written anew for most inputs.
class TScratchFile final
{
public:
    TScratchFile()
    {
        for (const char *folder : {"/dev/shm", "/tmp"}) {
            std::string name = std::string(folder) + "/m845-fuzz-xmodem-XXXXXX";
            m_fd = ::mkstemp(name.data());
            if (m_fd >= 0) {
                m_path = name;
                break;
            }
        }
    }
    ~TScratchFile()
    {
        if (m_fd < 0)
            return;
        ::close(m_fd);
        ::unlink(m_path.c_str());
    }
    TScratchFile(const TScratchFile &) = delete;
    TScratchFile &operator=(const TScratchFile &) = delete;

    [[nodiscard]] bool Valid() const { return m_fd >= 0; }
    [[nodiscard]] const std::string &Path() const { return m_path; }
    [[nodiscard]] const std::string &Content() const { return m_current->content; }
    // The file an input starts with. Its content is a function of size and seed, so the same
    // pair as the last one written leaves the file alone.
    void Prepare(std::size_t size, std::uint8_t seed)
    {
        if (m_current == nullptr || m_current->size != size || m_current->seed != seed)
            Replace(size, seed);
    }
    void Replace(std::size_t size, std::uint8_t seed)
    {
        m_current = &Version(size, seed);
        const std::string &content = m_current->content;
        // Written over, then cut to size: emptied first, the file would give its pages back and
        // take new ones, zeroed, for every input.
        if (::pwrite(m_fd, content.data(), size, 0) != static_cast<ssize_t>(size)
            || ::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
            std::abort();
    }

    // Block number (1 ..) of the file as a sender sends it, CRC included. Built once for each
    // content: an input mostly starts with a file an input before it had.
    [[nodiscard]] const std::uint8_t *Block(std::uint8_t number)
    {
        TVersion &version = *m_current;
        const std::size_t index = number - std::size_t{1};
        std::array<std::uint8_t, 133> &block = version.blocks.at(index);
        if (!version.built[index]) {
            version.built[index] = true;
            block[0] = 0x01;
            block[1] = number;
            block[2] = static_cast<std::uint8_t>(255 - number);
            const std::size_t at = index * 128;
            const std::size_t from = std::min<std::size_t>(128, version.size - at);
            std::memcpy(block.data() + 3, version.content.data() + at, from);
            std::memset(block.data() + 3 + from, 0x1A, 128 - from);
            const std::uint16_t crc = m845::Crc16Xmodem(block.data() + 3, 0, 128);
            block[131] = static_cast<std::uint8_t>(crc >> 8);
            block[132] = static_cast<std::uint8_t>(crc & 0xFF);
        }
        return block.data();
    }

private:
    struct TVersion
    {
        std::size_t size = 0;
        std::uint8_t seed = 0;
        std::string content;
        std::vector<std::array<std::uint8_t, 133>> blocks;
        std::vector<bool> built;
    };

    // The contents of the last few sizes and seeds, with their blocks.
    TVersion &Version(std::size_t size, std::uint8_t seed)
    {
        for (TVersion &version : m_versions) {
            if (version.size == size && version.seed == seed)
                return version;
        }
        TVersion &version = m_versions[m_nextVersion];
        m_nextVersion = (m_nextVersion + 1) % m_versions.size();
        version = TVersion{size, seed, std::string(size, '\0'), {}, {}};
        char *content = version.content.data();
        for (std::size_t i = 0; i < size; ++i)
            content[i] = static_cast<char>((i * 31 + seed) ^ (i >> 7));
        version.blocks.resize((size + 127) / 128);
        version.built.assign(version.blocks.size(), false);
        return version;
    }

    int m_fd = -1;
    std::string m_path;
    // The kept ones; an empty one stands for the empty file.
    std::vector<TVersion> m_versions = std::vector<TVersion>(64);
    std::size_t m_nextVersion = 0;
    TVersion *m_current = nullptr;
};

// What the sender wrote must be a block it could have built from the file, or a control byte.
class TWireCheck final
{
public:
    void Check(std::string_view write, TScratchFile &file, bool fileChanged)
    {
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(write.data());
        if (write.size() == 1) {
            if (bytes[0] != 0x04 && bytes[0] != 'R')
                std::abort();
            m_lastEot = bytes[0] == 0x04;
            return;
        }
        m_lastEot = false;
        if (write.size() != 133 || bytes[0] != 0x01 || bytes[1] + bytes[2] != 255)
            std::abort();
        const std::uint8_t number = bytes[1];
        if (m_hasLast && number != m_last && number != static_cast<std::uint8_t>(m_last + 1)
            && number != 1)
            std::abort();
        m_hasLast = true;
        m_last = number;
        // Small files have no wrapped numbers: the block's place in the file is known, and the
        // block must be that one, CRC and all.
        if (!fileChanged && file.Content().size() <= 255 * 128 && number != 0) {
            if (number <= (file.Content().size() + 127) / 128) {
                if (std::memcmp(bytes, file.Block(number), 133) != 0)
                    std::abort();
                return;
            }
            // Past the end of the file, nothing but padding.
            if (std::any_of(bytes + 3, bytes + 131, [](std::uint8_t b) { return b != 0x1A; }))
                std::abort();
        }
        const std::uint16_t crc = m845::Crc16Xmodem(bytes + 3, 0, 128);
        if (bytes[131] != (crc >> 8) || bytes[132] != (crc & 0xFF))
            std::abort();
    }
    [[nodiscard]] bool LastWasEot() const { return m_lastEot; }

private:
    bool m_hasLast = false;
    std::uint8_t m_last = 0;
    bool m_lastEot = false;
};

// Keeps no lines, only how often a transfer started and how often one succeeded.
class TCountingLog final : public m845::ILog
{
public:
    void LogRx(std::string_view) override {}
    void LogRxOther(std::string_view) override {}
    void LogTx(std::string_view) override {}
    void LogInfo(std::string_view text) override
    {
        starts += text == "info_Sending" ? 1 : 0;
        successes += text == "info_FwUpOver" ? 1 : 0;
    }
    void LogWarn(std::string_view) override {}

    std::size_t starts = 0;
    std::size_t successes = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    m845::fuzz::TInput input(data, size);
    static TScratchFile file;
    if (!file.Valid())
        return 0;
    const std::size_t high = input.Byte();
    const std::size_t low = input.Byte();
    file.Prepare(high * 130 + low, input.Byte());

    std::int64_t now = 0;
    TCountingLog log;
    m845::test::TFwFakeLink link;
    m845::test::TFakeTimer timer;
    m845::test::TFakeProgress progress;
    m845::test::TFakeFirmwareWindow window;
    m845::TFirmwareUpgrade fw(link, link, log, timer, progress, window);
    fw.SetClock([&now] { return now; });
    window.answer = file.Path();
    fw.ChooseFirmwareFile();

    TWireCheck wire;
    // Whether the file may differ from what the running transfer took at its start request.
    bool fileChanged = false;
    link.OnWrite = [&](std::string_view write) {
        wire.Check(write, file, fileChanged);
    };
    // The link sees each block first and may send the prepared reply, as the serial port does.
    const auto receive = [&](std::string_view block) {
        link.Received(block);
        (void)fw.TakeBlock(block);
    };
    std::size_t shown = 0;
    while (!input.Empty()) {
        const std::int32_t sentBefore = fw.XmodemBlocksSent();
        const bool endSent = fw.XmodemState() == TXmodemState::EndSent;
        const bool eotBefore = wire.LastWasEot();
        const std::size_t starts = log.starts;
        const std::size_t successes = log.successes;
        switch (input.Byte() % 10) {
        case 0:
            receive(input.Piece());
            break;
        case 1:
        case 2:
            receive(kAnswers[input.Byte() % std::size(kAnswers)]);
            break;
        case 3:
            now += input.Byte() * 100;
            (void)timer.Fire();
            break;
        case 4:
            // Acknowledge everything up to the end byte, as a good receiver would.
            for (int i = 0; i < 1200 && fw.XmodemState() >= TXmodemState::Due
                            && fw.XmodemState() != TXmodemState::EndSent;
                 ++i) {
                if (fw.XmodemState() == TXmodemState::BlockSent)
                    receive("\x06");
                else
                    (void)timer.Fire();
            }
            break;
        case 5: {
            const std::uint8_t what = input.Byte();
            link.open = (what & 1) != 0;
            link.writable = (what & 2) != 0;
            break;
        }
        case 6: {
            const std::uint8_t what = input.Byte() % 4;
            window.answer = what == 0   ? std::optional<std::string>(file.Path())
                            : what == 1 ? std::optional<std::string>("/")
                            : what == 2 ? std::optional<std::string>("/nonexistent/fw.bin")
                                        : std::nullopt;
            fw.ChooseFirmwareFile();
            break;
        }
        case 7: {
            const std::size_t newSize = input.Byte() * std::size_t{3};
            file.Replace(newSize, input.Byte());
            fileChanged = true;
            break;
        }
        case 8: {
            const std::uint8_t what = input.Byte();
            fw.SetFastPath((what & 1) != 0);
            window.showDataStream = (what & 2) != 0;
            window.overRestart = (what & 4) != 0;
            link.replies = (what & 8) != 0;
            break;
        }
        case 9:
            fw.CloseFirmwareFile();
            break;
        }
        if (log.starts != starts)
            fileChanged = false;
        if (fw.XmodemBlockNo() != static_cast<std::uint8_t>(fw.XmodemBlocksSent()))
            std::abort();
        for (; shown < progress.shown.size(); ++shown) {
            const auto [complete, total] = progress.shown[shown];
            if (complete < 0 || complete > total)
                std::abort();
        }
        if (log.successes == successes)
            continue;
        // Success only as the answer to the end byte, after every block was acknowledged.
        const std::uint64_t blocks = (file.Content().size() + 127) / 128;
        if (!endSent || !eotBefore || fw.XmodemState() != TXmodemState::Idle
            || (!fileChanged && static_cast<std::uint64_t>(sentBefore) != blocks + 1))
            std::abort();
    }
    return 0;
}
