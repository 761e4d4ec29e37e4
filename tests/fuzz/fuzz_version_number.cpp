// Device version texts: never a crash, and never a number below "no version".

#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_input.h"
#include "support/version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    m845::fuzz::TInput input(data, size);
    if (m845::VersionNumber(input.Rest()) < -1)
        std::abort();
    return 0;
}
