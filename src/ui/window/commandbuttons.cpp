#include "ui/window/commandbuttons.h"

#include <string>

#include <QGridLayout>
#include <QPushButton>
#include <QScrollArea>

#include "ui/common/textsetters.h"

namespace m845 {

TCommandButtons::TCommandButtons(QObject *parent)
    : QObject(parent)
{}

QPushButton *TCommandButtons::MakeButton(const char *name, int tag, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setProperty("tag", tag);
    connect(button, &QPushButton::clicked, this, [this, tag] { emit Clicked(tag); });
    m_buttons.push_back(button);
    return button;
}

QWidget *TCommandButtons::BuildMainGroup(QWidget *parent)
{
    auto *group = new QWidget(parent);
    group->setObjectName(QStringLiteral("rzgrpbxBtn"));
    auto *grid = new QGridLayout(group);
    grid->setContentsMargins(16, 4, 16, 4);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    struct Place
    {
        const char *name;
        int tag, row, column;
    };
    for (const Place &s : {Place{"btnAskAll", 10, 0, 0}, Place{"btnSetAll", 11, 0, 1},
                           Place{"btnPPPA", 12, 1, 0}, Place{"btnENTM", 13, 1, 1}}) {
        QPushButton *b = MakeButton(s.name, s.tag, group);
        b->setMinimumHeight(29);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        grid->addWidget(b, s.row, s.column);
    }
    return group;
}

QScrollArea *TCommandButtons::BuildSingleBox(QWidget *parent)
{
    auto *box = new QScrollArea(parent);
    box->setObjectName(QStringLiteral("advscrlbxBtn"));
    box->setWidgetResizable(true);
    box->setFrameShape(QFrame::NoFrame);
    auto *inner = new QWidget(box);
    auto *grid = new QGridLayout(inner);
    grid->setContentsMargins(15, 7, 15, 7);
    grid->setHorizontalSpacing(19);
    grid->setVerticalSpacing(12);
    struct Place
    {
        const char *name;
        int tag, row, column;
        bool visible;
    };
    for (const Place &s :
         {Place{"btnH", 16, 0, 0, true}, Place{"btnZ", 17, 0, 1, true},
          Place{"btnVER", 18, 0, 2, true}, Place{"btnCSQ", 23, 1, 0, true},
          Place{"btnCLEAR", 21, 1, 1, true}, Place{"btnSysRestart", 24, 1, 2, true},
          Place{"btnCNUM", 22, 2, 2, false}, Place{"btnCFGTF", 19, 2, 0, false},
          Place{"btnRELD", 20, 2, 1, false}}) {
        QPushButton *b = MakeButton(s.name, s.tag, inner);
        b->setMinimumSize(120, 26);
        grid->addWidget(b, s.row, s.column);
        b->setVisible(s.visible);
    }
    grid->setRowStretch(3, 1);
    box->setWidget(inner);
    return box;
}

void TCommandButtons::ApplyTexts()
{
    // Hidden buttons get their captions too; they stay hidden.
    for (QPushButton *b : m_buttons)
        SetCaptionByKey(b, "lang_" + b->objectName().toStdString());
}

} // namespace m845
