#pragma once

// The process's named 4-byte shared memory block. The program never decides anything on it:
// other tools may look for it to tell that the program runs. The last instance to exit
// removes it, so the next first instance creates it anew with 0.

#include <cstdint>
#include <string>

namespace m845 {

inline constexpr const char *kSharedBlockGuid = "{E8EFD6DE-BC7A-4FE1-90CC-EB9EB52A7A11}";

class TSharedBlock final
{
public:
    // Opens or creates the block; every failure is silent and leaves the block unmapped.
    explicit TSharedBlock(const std::string &name = std::string("/") + kSharedBlockGuid);
    ~TSharedBlock();
    TSharedBlock(const TSharedBlock &) = delete;
    TSharedBlock &operator=(const TSharedBlock &) = delete;

    [[nodiscard]] bool IsMapped() const { return m_value != nullptr; }
    [[nodiscard]] bool Created() const { return m_created; }
    [[nodiscard]] volatile std::uint32_t *Value() const { return m_value; }

private:
    void OpenOnce();

    std::string m_name;
    int m_fd = -1;
    volatile std::uint32_t *m_value = nullptr;
    bool m_created = false;
};

} // namespace m845
