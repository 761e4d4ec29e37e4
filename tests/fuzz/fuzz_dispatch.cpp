// The receive dispatcher with the sequencer, the reply applier and a plain panel, driven by a
// script of received blocks, button presses, timer ticks, terminal sends, queued runs, SMS, and
// a port that comes and goes or is lost: never a crash. (Refusals after a run may move the
// cursor past the end: the queue reads nothing there, by design.)

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/quiet_log.h"
#include "fuzz/fuzz_fakes.h"
#include "fuzz/fuzz_input.h"
#include "protocol/commands.h"
#include "protocol/fakes.h"
#include "protocol/reply.h"
#include "protocol/valueforms.h"
#include "protocol/sequencer.h"

namespace {

constexpr std::array kTags{m845::TagAskAll,    m845::TagSetAll, m845::TagPPPA, m845::TagENTM,
                           m845::TagH,         m845::TagZ,      m845::TagVER,  m845::TagCFGTF,
                           m845::TagRELD,      m845::TagCLEAR,  m845::TagCNUM, m845::TagCSQ,
                           m845::TagSysRestart};

// The run reports go nowhere; that they are made is what counts.
class TQuietRunEvents final : public m845::IRunEvents
{
public:
    void OnRunStarted(int, m845::TRunKind) override {}
    void OnCommandRefused(int, std::string_view, std::string_view) override {}
    void OnRunEnded(const m845::TRunOutcome &) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    m845::fuzz::TInput input(data, size);
    m845::QueueClear();
    std::int64_t now = 0;
    m845::test::TQuietLog log;
    m845::fuzz::TNullLink link;
    m845::test::TFakeTimer rcv;
    m845::test::TFakeTimer pause;
    m845::TReplyApplier applier{m845::fuzz::FreshPanel(), log};
    m845::test::TFakeProgress progress;
    m845::TSequencer seq{link, log, rcv, pause, applier, progress};
    TQuietRunEvents events;
    seq.SetRunEvents(&events);
    seq.SetClock([&now] { return now; });
    seq.SetCommandDelay(input.Byte() % 3 == 0 ? 0 : 150);
    while (!input.Empty()) {
        switch (input.Byte() % 10) {
        case 0:
            seq.DispatchReceived(input.Piece());
            break;
        case 1: {
            const std::string_view block = input.Piece();
            seq.DispatchReceived(reinterpret_cast<const std::uint8_t *>(block.data()),
                                 static_cast<std::uint16_t>(block.size()));
            break;
        }
        case 2:
            seq.btnDoClick(kTags[input.Byte() % kTags.size()]);
            break;
        case 3:
            (void)rcv.Fire();
            break;
        case 4:
            now += 200;
            (void)pause.Fire();
            break;
        case 5:
            link.open = !link.open;
            break;
        case 6:
            seq.RunAfterPause([&link, data = std::string(input.Piece())] { link.SendData(data); });
            break;
        case 7: {
            // A queue filled by its caller, then run as the given kind.
            const std::uint8_t kind = input.Byte();
            for (int lines = kind >> 4; lines > 0; --lines)
                m845::QueueAdd(std::string(input.Piece()) + "\r\n");
            (void)seq.RunQueue(static_cast<m845::TRunKind>(kind % 5));
            break;
        }
        case 8:
            seq.LinkLost();
            break;
        case 9: {
            const std::string_view number = input.Piece();
            seq.SendSms(number, input.Piece());
            break;
        }
        }
        if (m845::QueueCursor < 0)
            std::abort();
    }
    return 0;
}
