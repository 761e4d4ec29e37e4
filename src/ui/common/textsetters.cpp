#include "ui/common/textsetters.h"

#include <array>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "ui/common/uitext.h"

namespace m845 {

using detail::Lang;

QString LiteralCaption(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString PlainCaption(QString caption)
{
    return caption.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

void SetCaptionByKey(QLabel *control, std::string_view key)
{
    control->setTextFormat(Qt::PlainText);
    // Only a label with a buddy reads '&' as a shortcut marker.
    const QString text = Lang(key);
    control->setText(control->buddy() != nullptr ? LiteralCaption(text) : text);
}

void SetCaptionByKey(QAbstractButton *control, std::string_view key)
{
    control->setText(LiteralCaption(Lang(key)));
}

void SetCaptionByKey(QGroupBox *control, std::string_view key)
{
    control->setTitle(LiteralCaption(Lang(key)));
}

void SetCaptionByKey(QAction *item, std::string_view key)
{
    item->setText(LiteralCaption(Lang(key)));
}

void SetCaptionByKey(QMenu *menu, std::string_view key)
{
    menu->setTitle(LiteralCaption(Lang(key)));
}

void SetCaptionByKeyWithSuffix(QAbstractButton *control, std::string_view key,
                               const QString &suffix)
{
    control->setText(LiteralCaption(Lang(key) + suffix));
}

void SetEditLabelByKey(QLabel *label, QLineEdit *edit, std::string_view key)
{
    SetCaptionByKey(label, key);
    edit->setAccessibleName(Lang(key));
}

void SetHintByKey(QWidget *control, std::string_view key)
{
    control->setToolTip(Lang(key));
}

void SetCaptionAndHintByKey(QLabel *label, std::string_view captionKey, std::string_view hintKey)
{
    SetCaptionByKey(label, captionKey);
    SetHintByKey(label, hintKey);
}

void SetPopupItemByKey(QMenu *menu, int index, std::string_view key)
{
    const QList<QAction *> items = menu->actions();
    if (index < 0 || index >= items.size())
        return;
    SetCaptionByKey(items.at(index), key);
}

void SetComboItemByKey(QComboBox *box, int index, std::string_view key)
{
    if (index < 0 || index >= box->count())
        return;
    const int selected = box->currentIndex();
    box->setItemText(index, Lang(key));
    box->setCurrentIndex(selected);
}

void SetParamGroupCaption(QGroupBox *group, int workModeIndex, std::string_view key)
{
    static constexpr std::array<std::string_view, 4> kModeKeys{"lang_rbNetTran", "lang_rbHttpd",
                                                               "lang_rbSmsTran", "lang_rbUdc"};
    const bool known = workModeIndex >= 0 && workModeIndex < static_cast<int>(kModeKeys.size());
    const std::string_view modeKey
        = kModeKeys.at(known ? static_cast<std::size_t>(workModeIndex) : 0U);
    const QString mode = Lang(Lang(modeKey).toStdString());
    group->setTitle(LiteralCaption(mode + Lang(key)));
}

} // namespace m845
