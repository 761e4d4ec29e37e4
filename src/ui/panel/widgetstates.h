#pragma once

// Every control's state under a widget, taken once and put back as it was: check marks, list
// items and selections, texts, pages, shown and enabled. Putting back runs no reaction, so the
// controls end exactly as they were taken, whatever the rules between them would do.

#include <memory>
#include <vector>

class QWidget;

namespace m845 {

class TWidgetStates final
{
public:
    TWidgetStates();
    ~TWidgetStates();
    TWidgetStates(TWidgetStates &&) noexcept;
    TWidgetStates &operator=(TWidgetStates &&) noexcept;

    // The states of root's named descendants (not root's own).
    [[nodiscard]] static TWidgetStates Take(const QWidget &root);
    // Puts back what Take found; controls created since are left alone.
    void Restore() const;

private:
    struct TState;
    std::vector<std::unique_ptr<TState>> m_states;
};

} // namespace m845
