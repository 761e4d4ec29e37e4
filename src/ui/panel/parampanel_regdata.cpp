#include "ui/panel/parampanel_regdata.h"

namespace m845 {

TRegDataBox::TRegDataBox(QWidget *parent)
    : QLineEdit(parent)
{}

void TRegDataBox::SetItemIndex(int index)
{
    if (index < -1 || index >= kEntryCount)
        return;
    m_index = index;
    setText(index < 0 ? QString() : m_entries.at(static_cast<std::size_t>(index)));
}

QString TRegDataBox::Item(int index) const
{
    if (index < 0 || index >= kEntryCount)
        return {};
    return m_entries.at(static_cast<std::size_t>(index));
}

void TRegDataBox::SetItem(int index, const QString &text)
{
    if (index < 0 || index >= kEntryCount)
        return;
    m_entries.at(static_cast<std::size_t>(index)) = text;
    if (index == m_index)
        setText(text);
}

} // namespace m845
