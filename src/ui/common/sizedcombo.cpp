#include "ui/common/sizedcombo.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QStyleOptionComboBox>

namespace m845 {

TSizedComboBox::TSizedComboBox(TWidth rule, QWidget *parent)
    : QComboBox(parent)
    , m_rule(rule)
{
    if (rule == TWidth::Contents) {
        // As Qt does for AdjustToContents: a list that changes asks its layout again.
        const auto itemsChanged = [this] {
            Forget();
            updateGeometry();
        };
        QAbstractItemModel *items = model();
        connect(items, &QAbstractItemModel::rowsInserted, this, itemsChanged);
        connect(items, &QAbstractItemModel::rowsRemoved, this, itemsChanged);
        connect(items, &QAbstractItemModel::dataChanged, this, itemsChanged);
        connect(items, &QAbstractItemModel::modelReset, this, itemsChanged);
        connect(items, &QAbstractItemModel::layoutChanged, this, itemsChanged);
    }
}

// The same sum as Qt's: text width, text height, then the style's frame and arrow around them.
QSize TSizedComboBox::Hint(bool minimum) const
{
    const QFontMetrics &fm = fontMetrics();
    QSize contents;
    bool hasIcon = m_rule == TWidth::MinimumLength;
    const bool items = m_rule == TWidth::Contents && (!minimum || minimumContentsLength() == 0);
    if (items && count() == 0)
        contents.setWidth(7 * fm.horizontalAdvance(QLatin1Char('x')));
    for (int i = 0; items && i < count(); ++i) {
        const bool withIcon = !itemIcon(i).isNull();
        hasIcon = hasIcon || withIcon;
        contents.setWidth(
            std::max(contents.width(), fm.boundingRect(itemText(i)).width()
                                           + (withIcon ? iconSize().width() + 4 : 0)));
    }
    if (minimumContentsLength() > 0)
        contents.setWidth(std::max(contents.width(),
                                   minimumContentsLength() * fm.horizontalAdvance(QLatin1Char('X'))
                                       + (hasIcon ? iconSize().width() + 4 : 0)));
    if (!placeholderText().isEmpty())
        contents.setWidth(std::max(contents.width(), fm.boundingRect(placeholderText()).width()));
    contents.setHeight(std::max(static_cast<int>(std::ceil(QFontMetricsF(fm).height())), 14) + 2);
    if (hasIcon)
        contents.setHeight(std::max(contents.height(), iconSize().height() + 2));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, this);
}

QSize TSizedComboBox::Cached(bool minimum) const
{
    const TInputs inputs{minimumContentsLength(), iconSize(), placeholderText(), isEditable(),
                         hasFrame()};
    if (!(inputs == m_inputs)) {
        m_inputs = inputs;
        Forget();
    }
    QSize &hint = minimum ? m_minimumHint : m_hint;
    if (!hint.isValid())
        hint = Hint(minimum);
    return hint;
}

QSize TSizedComboBox::sizeHint() const
{
    return Cached(false);
}

QSize TSizedComboBox::minimumSizeHint() const
{
    return Cached(true);
}

void TSizedComboBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        Forget();
    QComboBox::changeEvent(event);
}

void TSizedComboBox::Forget() const
{
    m_hint = QSize();
    m_minimumHint = QSize();
}

} // namespace m845
