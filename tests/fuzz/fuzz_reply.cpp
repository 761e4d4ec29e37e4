// One received block taken as a reply and applied to a panel, after any text last sent.

#include <cstdint>

#include "common/quiet_log.h"
#include "fuzz/fuzz_fakes.h"
#include "fuzz/fuzz_input.h"
#include "protocol/reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    m845::fuzz::TInput input(data, size);
    m845::test::TQuietLog log;
    m845::TReplyApplier applier(m845::fuzz::FreshPanel(), log);
    const std::string_view lastSent = input.Piece();
    applier.ParseReply(input.Rest(), lastSent);
    return 0;
}
