#pragma once

// What the fuzz targets give the code under test besides the input: a link that keeps only what
// the sequencer reads back, and one panel per run set back to its fresh state before each input.
// Recording every write, or building a panel's lists anew, would cost more than the code under
// test does with the input. (A log that keeps nothing is test::TQuietLog.)

#include <string>
#include <string_view>

#include "common/fake_panel.h"
#include "core/link.h"

namespace m845::fuzz {

// SendText is remembered as the last sent text only while the port is open, as the link does.
class TNullLink final : public ILink
{
public:
    void SendText(std::string_view text) override
    {
        if (open)
            m_last.assign(text);
    }
    void SendData(std::string_view) override {}
    [[nodiscard]] bool IsPortOpen() const override { return open; }
    [[nodiscard]] const std::string &LastSentText() const override { return m_last; }
    bool WriteData(const std::uint8_t *, std::uint16_t) override { return open; }

    bool open = true;

private:
    std::string m_last;
};

// A fresh panel's state, copied over the run's one panel: the copy reuses the strings' room.
inline test::TFakePanel &FreshPanel()
{
    static const test::TFakePanel fresh;
    static test::TFakePanel panel;
    panel = fresh;
    return panel;
}

} // namespace m845::fuzz
