#pragma once

// The registration data box: one edit field in front of five stored texts (ICCID, device
// identity, cloud id, user data, converted text). Selecting an entry shows it and drops
// whatever was typed; typing never changes the stored entries.

#include <array>

#include <QLineEdit>

namespace m845 {

class TRegDataBox final : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int kEntryCount = 5;

    explicit TRegDataBox(QWidget *parent = nullptr);

    [[nodiscard]] int ItemIndex() const { return m_index; }
    // -1 selects nothing and empties the field; any other index out of range is ignored.
    void SetItemIndex(int index);
    [[nodiscard]] QString Item(int index) const;
    // Replaces one entry and keeps the selection; the field follows when it is the selected one.
    void SetItem(int index, const QString &text);

private:
    std::array<QString, kEntryCount> m_entries{};
    int m_index = -1;
};

} // namespace m845
