// Hexadecimal text from outside (typed data, stored values, replies): never a crash, and
// every byte string survives the trip to hex and back.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input.h"
#include "support/conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    m845::fuzz::TInput input(data, size);
    const std::string_view text = input.Rest();
    std::string out;
    (void)m845::TryHexToText(text, out);
    (void)m845::HexToText(text);
    const std::string hex = m845::TextToHex(text, "");
    std::string back;
    if (!m845::TryHexToText(hex, back) || back != text || m845::HexToText(hex) != text)
        std::abort();
    return 0;
}
