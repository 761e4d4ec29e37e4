#include "support/encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include <iconv.h>

// Both directions use glibc's "GBK" (code page 936, 0x80 included as the euro sign). GB18030
// would also decode four-byte sequences, but it maps a few two-byte codes differently
// (0xA1A4, 0xA1AA), and the language file must read back exactly as it was written.

namespace m845 {

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at the start of text, or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text)
{
    if (text.empty())
        return 0;
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0)
            low = 0xA0; // overlong
        else if (b0 == 0xED)
            high = 0x9F; // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0)
            low = 0x90; // overlong
        else if (b0 == 0xF4)
            high = 0x8F; // beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    const auto b1 = static_cast<unsigned char>(text[1]);
    if (b1 < low || b1 > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80 || b > 0xBF)
            return 0;
    }
    return length;
}

class Converter final
{
public:
    Converter(const char *to, const char *from)
        : m_cd(iconv_open(to, from))
    {}
    ~Converter()
    {
        if (Valid())
            iconv_close(m_cd);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    [[nodiscard]] bool Valid() const
    {
        return m_cd != reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));
    }

    // Converts as much of input as it can and appends it to out. Returns false when it
    // stopped at a byte it could not convert (input then starts at that byte).
    bool Convert(std::string_view &input, std::string &out)
    {
        // A converter serves text after text: none inherits the state another left.
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[4096];
        while (!input.empty()) {
            // iconv's interface takes char ** although it never writes through the input.
            char *in = const_cast<char *>(input.data());
            std::size_t inLeft = input.size();
            char *outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            input.remove_prefix(input.size() - inLeft);
            if (rc != static_cast<std::size_t>(-1))
                continue;
            if (error == E2BIG)
                continue;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
            return false;
        }
        return true;
    }

private:
    iconv_t m_cd;
};

// Opening a converter looks its tables up anew each time, which cost more than converting a
// line: one per thread and direction serves all texts.
Converter &GbkDecoder()
{
    thread_local Converter converter("UTF-8", "GBK");
    return converter;
}

Converter &GbkEncoder()
{
    thread_local Converter converter("GBK", "UTF-8");
    return converter;
}

// ASCII reads the same in GBK and UTF-8.
bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::string GbkToUtf8(std::string_view gbk)
{
    if (IsAscii(gbk))
        return std::string(gbk);
    std::string out;
    out.reserve(gbk.size() + gbk.size() / 2);
    Converter &converter = GbkDecoder();
    if (!converter.Valid()) {
        // No GBK tables installed: keep ASCII, mark everything else.
        for (const char c : gbk) {
            if (static_cast<unsigned char>(c) < 0x80)
                out.push_back(c);
            else
                out.append(kReplacementUtf8);
        }
        return out;
    }
    while (!converter.Convert(gbk, out)) {
        // Skip only the offending byte: a bad lead byte must not swallow the ASCII after it.
        out.append(kReplacementUtf8);
        gbk.remove_prefix(1);
    }
    return out;
}

std::string Utf8ToGbk(std::string_view utf8)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    Converter &converter = GbkEncoder();
    if (!converter.Valid()) {
        while (!utf8.empty()) {
            const std::size_t length = Utf8SequenceLength(utf8);
            out.push_back(length == 1 ? utf8[0] : '?');
            utf8.remove_prefix(length == 0 ? 1 : length);
        }
        return out;
    }
    while (!converter.Convert(utf8, out)) {
        // A character GBK lacks and a malformed byte alike become one '?'.
        const std::size_t length = Utf8SequenceLength(utf8);
        out.push_back('?');
        utf8.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

bool IsValidUtf8(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string EscapeControls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const auto escape = [&out](std::string_view bytes) {
        static constexpr std::string_view kHex = "0123456789ABCDEF";
        for (const char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    };
    while (!text.empty()) {
        const std::size_t length = Utf8SequenceLength(text);
        const auto b0 = static_cast<unsigned char>(text[0]);
        const bool c0
            = length == 1 && (b0 < 0x20 || b0 == 0x7F) && b0 != '\t' && b0 != '\n' && b0 != '\r';
        // U+0080..U+009F: a terminal may take U+009B as CSI.
        const bool c1 = length == 2 && b0 == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0;
        const std::string_view sequence = text.substr(0, length == 0 ? 1 : length);
        if (length == 0 || c0 || c1)
            escape(sequence);
        else
            out += sequence;
        text.remove_prefix(sequence.size());
    }
    return out;
}

std::string EscapeToOneLine(std::string_view text)
{
    std::string out;
    for (const char c : EscapeControls(text)) {
        if (c == '\t' || c == '\r' || c == '\n') {
            static constexpr std::string_view kHex = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[static_cast<unsigned char>(c) >> 4];
            out += kHex[static_cast<unsigned char>(c) & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string CsvField(std::string_view raw)
{
    std::string text = EscapeToOneLine(raw);
    // A spreadsheet would run a cell that starts so as a formula: device text must not.
    if (!text.empty() && std::string_view("=+-@").find(text.front()) != std::string_view::npos)
        text.insert(0, 1, '\'');
    if (text.find_first_of(",\"") == std::string::npos
        && (text.empty() || (text.front() != ' ' && text.back() != ' ')))
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace m845
