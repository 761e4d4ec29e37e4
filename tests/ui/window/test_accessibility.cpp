// Every control of the window has a name a screen reader can speak, in both languages: its
// caption, a label's words or a name given for it, never its object name.

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include "common/scoped_language.h"
#include "lang/langlist.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845::test {
namespace {

QStringList Unnamed(const QWidget &root)
{
    QStringList unnamed;
    for (QWidget *w : root.findChildren<QWidget *>()) {
        const bool control = qobject_cast<QAbstractButton *>(w) != nullptr
                             || qobject_cast<QLineEdit *>(w) != nullptr
                             || qobject_cast<QComboBox *>(w) != nullptr
                             || qobject_cast<QPlainTextEdit *>(w) != nullptr;
        // A list box's own edit field speaks for the box.
        if (!control || qobject_cast<QComboBox *>(w->parentWidget()) != nullptr
            || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
        const QString name = face != nullptr ? face->text(QAccessible::Name).trimmed() : QString();
        if (name.isEmpty() || name == w->objectName())
            unnamed << w->objectName() + QStringLiteral(" '") + name + QLatin1Char('\'');
    }
    return unnamed;
}

TEST(Accessibility, EveryControlHasAHumanNameInBothLanguages)
{
    ScopedLanguage language("m845-a11y");
    // The configuration part adds menu items only, and would touch the user's file.
    TFrm_Main window([](TFrm_Main &w) { w.AdoptPart(std::make_unique<TDeviceSession>(w)); });
    for (const char *choice : {"mni_En", "mni_Cn"}) {
        window.mni_MenuClick(QString::fromLatin1(choice));
        const QStringList unnamed = Unnamed(window);
        EXPECT_TRUE(unnamed.isEmpty())
            << choice << ": " << unnamed.join(QStringLiteral(", ")).toStdString();
    }
    // Names the technician's scripts rely on.
    const auto named = [&window](const char *object) {
        return QAccessible::queryAccessibleInterface(
                   window.findChild<QWidget *>(QString::fromLatin1(object)))
            ->text(QAccessible::Name);
    };
    EXPECT_EQ(named("edtSend"), QStringLiteral("发送框"));
    window.mni_MenuClick(QStringLiteral("mni_En"));
    EXPECT_EQ(named("edtDialog"), QStringLiteral("Communication log"));
    EXPECT_EQ(named("edtAddrB"), QStringLiteral("Socket B address"));
}

} // namespace
} // namespace m845::test
