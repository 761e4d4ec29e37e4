#pragma once

// The text setters: each fetches its text with LangText and puts it on one kind of control.
// Texts are shown as typed: an '&' is no shortcut marker and a '<' starts no markup.

#include <cstdint>
#include <string_view>

#include <QString>

class QAbstractButton;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QWidget;

namespace m845 {

// The steps of applying texts that parts outside the main window take part in, in the order
// ApplyMainTexts runs them: the work-mode reaction, captions, list items, hints.
enum class TTextStep : std::uint8_t { WorkMode, Captions, ComboItems, Hints };

void SetCaptionByKey(QLabel *control, std::string_view key);
void SetCaptionByKey(QAbstractButton *control, std::string_view key);
void SetCaptionByKey(QGroupBox *control, std::string_view key);
void SetCaptionByKey(QAction *item, std::string_view key);
void SetCaptionByKey(QMenu *menu, std::string_view key);
void SetCaptionByKeyWithSuffix(QAbstractButton *control, std::string_view key,
                               const QString &suffix);
// A labelled edit box is its label and its edit; the edit takes the caption as its accessible
// name, so a screen reader names it as the eye does.
void SetEditLabelByKey(QLabel *label, QLineEdit *edit, std::string_view key);
void SetHintByKey(QWidget *control, std::string_view key);
void SetCaptionAndHintByKey(QLabel *label, std::string_view captionKey, std::string_view hintKey);
// The item at index of the menu, separators counted; an index out of range is ignored.
void SetPopupItemByKey(QMenu *menu, int index, std::string_view key);
// Replaces the item at index and keeps the selection; an index out of range is ignored.
void SetComboItemByKey(QComboBox *box, int index, std::string_view key);
// The mode's text (NET for an index out of range) followed by the text of key. The mode text is
// looked up once more: the list finds it among its texts and hands it back in the current
// language.
void SetParamGroupCaption(QGroupBox *group, int workModeIndex, std::string_view key);

// A caption text for a control that reads '&' as a shortcut marker, and back.
[[nodiscard]] QString LiteralCaption(QString text);
[[nodiscard]] QString PlainCaption(QString caption);

} // namespace m845
