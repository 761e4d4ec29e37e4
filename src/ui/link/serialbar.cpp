#include "ui/link/serialbar.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include "serial/portlist.h"
#include "ui/common/standardicon.h"
#include "ui/common/textsetters.h"

namespace m845 {

namespace {

std::vector<std::string> SystemPorts()
{
    return ReadPortNames();
}

QComboBox *MakeList(const QString &name, const QStringList &items, int width, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    box->setMinimumWidth(width);
    return box;
}

QLabel *MakeLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    return label;
}

} // namespace

TPortComboBox::TPortComboBox(QWidget *parent)
    : TSizedComboBox(TWidth::Contents, parent)
    , PortSource(&SystemPorts)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void TPortComboBox::FillPortList()
{
    clear();
    for (const std::string &name : PortSource())
        addItem(QString::fromStdString(name));
}

void TPortComboBox::showPopup()
{
    RefreshKeepingChoice();
    QComboBox::showPopup();
}

void TPortComboBox::RefreshKeepingChoice()
{
    // The choice is kept by name: a list that shrank must not slide another port under it.
    const QString chosen = currentText();
    const bool typed = currentIndex() < 0 || itemText(currentIndex()) != chosen;
    FillPortList();
    if (const int found = findText(chosen, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        found >= 0 && !chosen.isEmpty()) {
        setCurrentIndex(found);
        return;
    }
    setCurrentIndex(-1);
    // A typed path survives; a chosen port that has gone leaves no selection.
    if (typed)
        setEditText(chosen);
}

TSerialToolBar::TSerialToolBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlT"));
    setFixedHeight(33);
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    auto *rztlbrCom = new QWidget(this);
    rztlbrCom->setObjectName(QStringLiteral("rztlbrCom"));
    outer->addWidget(rztlbrCom);
    auto *bar = new QHBoxLayout(rztlbrCom);
    bar->setContentsMargins(4, 0, 4, 0);
    bar->setSpacing(4);

    m_lblOpenCom = MakeLabel(QStringLiteral("lblOpenCom"), rztlbrCom);
    m_cbbOpenCom = new TPortComboBox(rztlbrCom);
    m_cbbOpenCom->setObjectName(QStringLiteral("cbbOpenCom"));
    m_cbbOpenCom->setMinimumWidth(150);
    m_lblOpenBaud = MakeLabel(QStringLiteral("lblOpenBaud"), rztlbrCom);
    m_cbbOpenBaud
        = MakeList(QStringLiteral("cbbOpenBaud"),
                   {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                    QStringLiteral("9600"), QStringLiteral("14400"), QStringLiteral("19200"),
                    QStringLiteral("28800"), QStringLiteral("33600"), QStringLiteral("38400"),
                    QStringLiteral("57600"), QStringLiteral("115200"), QStringLiteral("230400"),
                    QStringLiteral("460800")},
                   86, rztlbrCom);
    m_lblOpenPDS = MakeLabel(QStringLiteral("lblOpenPDS"), rztlbrCom);
    m_cbbOpenP = MakeList(QStringLiteral("cbbOpenP"),
                          {QStringLiteral("NONE"), QStringLiteral("ODD"), QStringLiteral("EVEN")},
                          60, rztlbrCom);
    m_cbbOpenD = MakeList(QStringLiteral("cbbOpenD"), {QStringLiteral("7"), QStringLiteral("8")},
                          52, rztlbrCom);
    m_cbbOpenS = MakeList(QStringLiteral("cbbOpenS"), {QStringLiteral("1"), QStringLiteral("2")},
                          52, rztlbrCom);
    m_lblOpenFlow = MakeLabel(QStringLiteral("lblOpenFlow"), rztlbrCom);
    m_cbbOpenFlow = MakeList(QStringLiteral("cbbOpenFlow"),
                             {QStringLiteral("NONE"), QStringLiteral("CRTS")}, 52, rztlbrCom);
    m_lblOpenFlow->hide();
    m_cbbOpenFlow->hide();
    m_cbbOpenP->setAccessibleName(QStringLiteral("parity"));
    m_cbbOpenD->setAccessibleName(QStringLiteral("data bits"));
    m_cbbOpenS->setAccessibleName(QStringLiteral("stop bits"));
    m_lblOpenCom->setBuddy(m_cbbOpenCom);
    m_lblOpenBaud->setBuddy(m_cbbOpenBaud);

    m_btnOpenClose = new QToolButton(rztlbrCom);
    m_btnOpenClose->setObjectName(QStringLiteral("btnOpenClose"));
    m_btnOpenClose->setMinimumWidth(110);
    m_btnOpenClose->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QFont bold = m_btnOpenClose->font();
    bold.setBold(true);
    m_btnOpenClose->setFont(bold);
    m_btnOpenClose->setStyleSheet(QStringLiteral("QToolButton { color: #0000ff; }"));
    connect(m_btnOpenClose, &QToolButton::clicked, this, [this] { emit OpenCloseClicked(); });

    // The click chooses the firmware file; the arrow holds the upgrade's options.
    m_btnFwUp = new QToolButton(rztlbrCom);
    m_btnFwUp->setObjectName(QStringLiteral("btnFwUp"));
    m_btnFwUp->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_btnFwUp->setPopupMode(QToolButton::MenuButtonPopup);
    m_btnFwUp->setIcon(StandardIcon(this, QStyle::SP_ArrowUp));
    connect(m_btnFwUp, &QToolButton::clicked, this, [this] { emit FwUpClicked(); });

    auto *rzSpacer2 = new QFrame(rztlbrCom);
    rzSpacer2->setObjectName(QStringLiteral("RzSpacer2"));
    rzSpacer2->setFrameShape(QFrame::VLine);
    rzSpacer2->setFrameShadow(QFrame::Sunken);
    rzSpacer2->setFixedWidth(9);

    bar->addWidget(m_lblOpenCom);
    bar->addWidget(m_cbbOpenCom);
    bar->addSpacing(8);
    bar->addWidget(m_lblOpenBaud);
    bar->addWidget(m_cbbOpenBaud);
    bar->addSpacing(8);
    bar->addWidget(m_lblOpenPDS);
    bar->addWidget(m_cbbOpenP);
    bar->addWidget(m_cbbOpenD);
    bar->addWidget(m_cbbOpenS);
    bar->addWidget(m_lblOpenFlow);
    bar->addWidget(m_cbbOpenFlow);
    bar->addSpacing(8);
    bar->addWidget(m_btnOpenClose);
    bar->addWidget(rzSpacer2);
    bar->addWidget(m_btnFwUp);
    bar->addStretch(1); // RzSpacer6: the rest of the bar
}

std::string TSerialToolBar::PortText() const
{
    return m_cbbOpenCom->currentText().trimmed().toStdString();
}

std::string TSerialToolBar::BaudText() const
{
    return m_cbbOpenBaud->currentText().toStdString();
}

int TSerialToolBar::ParityIndex() const
{
    return m_cbbOpenP->currentIndex();
}

int TSerialToolBar::DataBitsIndex() const
{
    return m_cbbOpenD->currentIndex();
}

int TSerialToolBar::StopBitsIndex() const
{
    return m_cbbOpenS->currentIndex();
}

void TSerialToolBar::ShowPort(const std::string &port)
{
    const QString name = QString::fromStdString(port);
    m_cbbOpenCom->FillPortList();
    const int found = m_cbbOpenCom->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    m_cbbOpenCom->setCurrentIndex(found);
    if (found < 0)
        m_cbbOpenCom->setEditText(name);
}

void TSerialToolBar::SelectDefaults()
{
    m_cbbOpenCom->FillPortList();
    m_cbbOpenCom->setCurrentIndex(m_cbbOpenCom->count() > 0 ? 0 : -1);
    m_cbbOpenBaud->setCurrentText(QStringLiteral("115200"));
    m_cbbOpenP->setCurrentIndex(0);
    m_cbbOpenD->setCurrentIndex(1);
    m_cbbOpenS->setCurrentIndex(0);
    m_cbbOpenFlow->setCurrentIndex(0);
}

void TSerialToolBar::ShowButtonTag(int tag)
{
    if (tag == kBtnTagOpen) {
        SetCaptionByKey(m_btnOpenClose, "lang_btnOpen");
        m_btnOpenClose->setIcon(StandardIcon(this, QStyle::SP_MediaPlay));
    } else if (tag == kBtnTagClose) {
        SetCaptionByKey(m_btnOpenClose, "lang_btnClose");
        m_btnOpenClose->setIcon(StandardIcon(this, QStyle::SP_MediaStop));
    }
}

void TSerialToolBar::ApplyCaptions()
{
    for (QLabel *label : {m_lblOpenCom, m_lblOpenBaud, m_lblOpenPDS, m_lblOpenFlow})
        SetCaptionAndHintByKey(label, "lang_" + label->objectName().toStdString(),
                               "hint_cbbOpenUart");
    SetCaptionByKey(m_btnFwUp, "lang_btnFwUp");
}

void TSerialToolBar::ApplyHints()
{
    for (QComboBox *box : {m_cbbOpenBaud, m_cbbOpenP, m_cbbOpenD, m_cbbOpenS, m_cbbOpenFlow})
        SetHintByKey(box, "hint_cbbOpenUart");
}

} // namespace m845
