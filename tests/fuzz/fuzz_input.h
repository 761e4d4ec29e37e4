#pragma once

// Takes a fuzzer's bytes apart into the pieces a target needs, always in bounds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace m845::fuzz {

class TInput final
{
public:
    TInput(const std::uint8_t *data, std::size_t size)
        : m_rest(reinterpret_cast<const char *>(data), size)
    {}

    [[nodiscard]] bool Empty() const { return m_rest.empty(); }
    [[nodiscard]] std::uint8_t Byte()
    {
        if (m_rest.empty())
            return 0;
        const auto byte = static_cast<std::uint8_t>(m_rest.front());
        m_rest.remove_prefix(1);
        return byte;
    }
    // A piece whose length is the next byte (0..255), cut to what is left.
    [[nodiscard]] std::string_view Piece()
    {
        // The length byte is taken first: in one expression with the size, GCC may read the
        // size before the byte is gone and cut one past the end.
        const std::uint8_t wanted = Byte();
        const std::size_t length = std::min<std::size_t>(wanted, m_rest.size());
        const std::string_view piece = m_rest.substr(0, length);
        m_rest.remove_prefix(length);
        return piece;
    }
    [[nodiscard]] std::string_view Rest()
    {
        const std::string_view rest = m_rest;
        m_rest = {};
        return rest;
    }

private:
    std::string_view m_rest;
};

} // namespace m845::fuzz
