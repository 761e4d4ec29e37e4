#pragma once

// A list box that keeps one of Qt's width rules without building its drop-down early.

#include <QComboBox>

namespace m845 {

// The width rule of QComboBox::setSizeAdjustPolicy, worked out here. Setting a rule there builds
// the drop-down (its frame, list view and scroll bars) at once; for the window's lists that was
// 3 ms of its start, so the drop-down is built as Qt builds it otherwise: when it first opens.
class TSizedComboBox : public QComboBox
{
    Q_OBJECT
public:
    enum class TWidth {
        Contents,      // as AdjustToContents: as wide as the widest item
        MinimumLength, // as AdjustToMinimumContentsLengthWithIcon: minimumContentsLength() letters
    };
    explicit TSizedComboBox(TWidth rule, QWidget *parent = nullptr);

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;

private:
    // What a hint depends on besides the items, the font and the style.
    struct TInputs
    {
        int minimumLength = -1;
        QSize iconSize;
        QString placeholder;
        bool editable = false;
        bool frame = true;
        bool operator==(const TInputs &) const = default;
    };

    [[nodiscard]] QSize Hint(bool minimum) const;
    [[nodiscard]] QSize Cached(bool minimum) const;
    void Forget() const;

    TWidth m_rule;
    // A layout asks for the hints many times over: they are worked out once per change.
    mutable TInputs m_inputs;
    mutable QSize m_hint;
    mutable QSize m_minimumHint;
};

} // namespace m845
