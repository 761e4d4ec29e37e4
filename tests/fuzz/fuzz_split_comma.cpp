// Compound values from replies and files: never a crash, and no field holds more than the text.

#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_input.h"
#include "support/conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    m845::fuzz::TInput input(data, size);
    const std::string_view text = input.Rest();
    std::size_t total = 0;
    for (const std::string &field : m845::SplitCommaText(text))
        total += field.size();
    if (total > text.size())
        std::abort();
    return 0;
}
