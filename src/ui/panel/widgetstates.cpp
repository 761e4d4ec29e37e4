#include "ui/panel/widgetstates.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStringList>

#include "ui/panel/parampanel_regdata.h"

namespace m845 {

struct TWidgetStates::TState
{
    QPointer<QWidget> widget;
    bool hidden = false;
    bool disabled = false;
    bool checked = false;
    int index = -1;
    QString text;
    QStringList items;
};

TWidgetStates::TWidgetStates() = default;
TWidgetStates::~TWidgetStates() = default;
TWidgetStates::TWidgetStates(TWidgetStates &&) noexcept = default;
TWidgetStates &TWidgetStates::operator=(TWidgetStates &&) noexcept = default;

TWidgetStates TWidgetStates::Take(const QWidget &root)
{
    TWidgetStates taken;
    for (QWidget *w : root.findChildren<QWidget *>()) {
        // Only the controls of our own: Qt's inner parts (scroll bars, viewports, the edit of
        // a list box) look after themselves.
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        auto state = std::make_unique<TState>();
        state->widget = w;
        // The widget's own flags, whatever its parents show.
        state->hidden = w->isHidden();
        state->disabled = w->testAttribute(Qt::WA_Disabled);
        if (const auto *button = qobject_cast<QAbstractButton *>(w)) {
            state->checked = button->isChecked();
        } else if (const auto *box = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < box->count(); ++i)
                state->items << box->itemText(i);
            state->index = box->currentIndex();
            state->text = box->currentText();
        } else if (const auto *reg = qobject_cast<TRegDataBox *>(w)) {
            for (int i = 0; i < TRegDataBox::kEntryCount; ++i)
                state->items << reg->Item(i);
            state->index = reg->ItemIndex();
            state->text = reg->text();
        } else if (const auto *edit = qobject_cast<QLineEdit *>(w)) {
            state->text = edit->text();
        } else if (const auto *pages = qobject_cast<QStackedWidget *>(w)) {
            state->index = pages->currentIndex();
        }
        taken.m_states.push_back(std::move(state));
    }
    return taken;
}

void TWidgetStates::Restore() const
{
    // All signals held first: a control put back must not set off another's reaction.
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (const auto &state : m_states) {
        if (state->widget)
            blockers.push_back(std::make_unique<QSignalBlocker>(state->widget.data()));
    }
    for (const auto &state : m_states) {
        QWidget *w = state->widget;
        if (w == nullptr)
            continue;
        if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            // Exclusive buttons: the checked one goes last, or a cleared one would not stick.
            if (!state->checked)
                button->setChecked(false);
        } else if (auto *box = qobject_cast<QComboBox *>(w)) {
            box->clear();
            box->addItems(state->items);
            box->setCurrentIndex(state->index);
            if (box->isEditable())
                box->setEditText(state->text);
        } else if (auto *reg = qobject_cast<TRegDataBox *>(w)) {
            for (int i = 0; i < TRegDataBox::kEntryCount; ++i)
                reg->SetItem(i, state->items.value(i));
            reg->SetItemIndex(state->index);
            reg->setText(state->text);
        } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            edit->setText(state->text);
        } else if (auto *pages = qobject_cast<QStackedWidget *>(w)) {
            pages->setCurrentIndex(state->index);
        }
        w->setHidden(state->hidden);
        w->setDisabled(state->disabled);
    }
    for (const auto &state : m_states) {
        if (auto *button = qobject_cast<QAbstractButton *>(state->widget.data());
            button != nullptr && state->checked)
            button->setChecked(true);
    }
}

} // namespace m845
