// Construction of the panel's controls and containers; the rules live in parampanel.cpp.

#include "ui/panel/parampanel.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/common/sizedcombo.h"
#include "ui/common/textsetters.h"
#include "ui/panel/parampanel_regdata.h"
#include "ui/panel/workmodediagram.h"

namespace m845 {
namespace {

constexpr int kScrollLine = 20;
constexpr int kShortEdit = 70;

QString Name(const char *name)
{
    return QString::fromLatin1(name);
}

QLabel *MakeLabel(QWidget *parent, const QString &name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    // Captions come from an editable language file and are shown as typed, never as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Labels get no buddy: a buddy would turn the '&' of captions such as "IP&Port" into a
// keyboard shortcut and hide it.
QLineEdit *MakeEdit(QWidget *parent, const QString &name, QLabel * = nullptr)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAccessibleName(name);
    return edit;
}

QComboBox *MakeCombo(QWidget *parent, const QString &name, const QStringList &items, int index,
                     QLabel * = nullptr)
{
    // Long item texts must not force the page wider than the panel.
    auto *box = new TSizedComboBox(TSizedComboBox::TWidth::MinimumLength, parent);
    box->setObjectName(name);
    box->setAccessibleName(name);
    box->addItems(items);
    box->setCurrentIndex(index);
    // A wheel over an unfocused list scrolls the page instead of changing a parameter.
    box->setFocusPolicy(Qt::StrongFocus);
    box->setMinimumContentsLength(6);
    return box;
}

QCheckBox *MakeCheck(QWidget *parent, const QString &name, int tag)
{
    auto *box = new QCheckBox(parent);
    box->setObjectName(name);
    box->setProperty("tag", tag);
    return box;
}

QGroupBox *MakeGroup(QWidget *parent, const QString &name)
{
    auto *group = new QGroupBox(parent);
    group->setObjectName(name);
    return group;
}

QScrollArea *MakeScrollArea(QWidget *parent, const QString &name, QWidget *content)
{
    auto *area = new QScrollArea(parent);
    area->setObjectName(name);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setFocusPolicy(Qt::StrongFocus);
    area->verticalScrollBar()->setSingleStep(kScrollLine);
    area->setWidget(content);
    return area;
}

// A page whose one group stands at the top and keeps its height when the page grows.
QWidget *TopAligned(QWidget *page, QWidget *group)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(group);
    layout->addStretch(1);
    return page;
}
} // namespace

TParamPanel::TParamPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(Name("pnlL"));

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(Name("spltrBase"));
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(7);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(splitter);

    auto *pnlWkmod = new QWidget(splitter);
    pnlWkmod->setObjectName(Name("pnlWkmod"));
    auto *wkmodLayout = new QVBoxLayout(pnlWkmod);
    wkmodLayout->setContentsMargins(0, 0, 0, 0);
    wkmodLayout->setSpacing(4);
    BuildWorkModeGroup(pnlWkmod);
    wkmodLayout->addWidget(m_rzgrpbxWkmod);

    m_rzgrpbxPara = MakeGroup(pnlWkmod, Name("rzgrpbxPara"));
    m_rzgrpbxPara->setFocusPolicy(Qt::ClickFocus);
    m_rzpgcntrlPara = new QStackedWidget(m_rzgrpbxPara);
    m_rzpgcntrlPara->setObjectName(Name("rzpgcntrlPara"));
    m_rzpgcntrlPara->addWidget(BuildNetPage());
    m_rzpgcntrlPara->addWidget(BuildHttpdPage());
    m_rzpgcntrlPara->addWidget(BuildSmsPage());
    auto *paraLayout = new QVBoxLayout(m_rzgrpbxPara);
    paraLayout->setContentsMargins(2, 4, 2, 2);
    paraLayout->addWidget(m_rzpgcntrlPara);
    wkmodLayout->addWidget(m_rzgrpbxPara, 1);

    m_rzszpnlBase = BuildBaseArea();
    m_rzszpnlBase->setParent(splitter);
    splitter->addWidget(pnlWkmod);
    splitter->addWidget(m_rzszpnlBase);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({600, 129});

    WireReactions();
    // The window's initial state, before configuration, texts and the start-up mode arrive.
    m_rbUdc->setChecked(true);
    m_cbbRegTp->setCurrentIndex(3);
    for (QCheckBox *box : {m_rows[0].enable, m_rows[1].enable, m_rows[2].enable, m_rows[3].enable,
                           m_rzchckbxHeartEn, m_rzchckbxRegEn, m_rzchckbxMore})
        RzchckbxEnableClick(box);
    for (const SocketRow &row : m_rows)
        CbbProtocolChange(row.protocol);
    // The device variant starts as one that names its identity IMEI.
    SetComboItemByKey(m_cbbRegTp, 1, "lang_cbbRegTp1_IMEI");
    ApplyTexts();
    m_initial = TWidgetStates::Take(*this);
}

void TParamPanel::BuildWorkModeGroup(QWidget *host)
{
    m_rzgrpbxWkmod = MakeGroup(host, Name("rzgrpbxWkmod"));
    m_rzgrpbxWkmod->setAutoFillBackground(true);
    QPalette white = m_rzgrpbxWkmod->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_rzgrpbxWkmod->setPalette(white);
    m_rzgrpbxWkmod->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    auto makeRadio = [this](const char *name, int tag) {
        auto *button = new QRadioButton(m_rzgrpbxWkmod);
        button->setObjectName(Name(name));
        button->setProperty("tag", tag);
        return button;
    };
    m_rbNetTran = makeRadio("rbNetTran", 0);
    m_rbUdc = makeRadio("rbUdc", 0);
    m_rbHttpd = makeRadio("rbHttpd", 1);
    m_rbSmsTran = makeRadio("rbSmsTran", 2);
    m_rbSmsTran->hide();

    auto *radios = new QHBoxLayout;
    radios->setSpacing(24);
    radios->addWidget(m_rbNetTran);
    radios->addWidget(m_rbUdc);
    radios->addWidget(m_rbHttpd);
    radios->addWidget(m_rbSmsTran);
    radios->addStretch(1);
    m_workModeRow = radios;

    m_imgWkMod = new TWorkModeDiagram(m_rzgrpbxWkmod);
    m_imgWkMod->setObjectName(Name("imgWkMod"));
    // The hint area over the serial device at the diagram's right end.
    m_imgCKZD = new QWidget(m_imgWkMod);
    m_imgCKZD->setObjectName(Name("imgCKZD"));
    m_imgCKZD->setGeometry(TWorkModeDiagram::kWidth - 83, 0, 83, 81);

    auto *diagramRow = new QHBoxLayout;
    diagramRow->addStretch(1);
    diagramRow->addWidget(m_imgWkMod);
    diagramRow->addStretch(1);

    auto *layout = new QVBoxLayout(m_rzgrpbxWkmod);
    layout->setContentsMargins(8, 6, 8, 4);
    layout->setSpacing(4);
    layout->addLayout(radios);
    layout->addLayout(diagramRow);
}

void TParamPanel::AddStatusWidget(QWidget *widget)
{
    widget->setParent(m_rzgrpbxWkmod);
    m_workModeRow->addWidget(widget);
}

void TParamPanel::BuildSocketRow(int row, QWidget *host)
{
    static constexpr std::array<int, 4> kEnableTags{1, 2, 6, 7};
    const QString letter(QLatin1Char(static_cast<char>('A' + row)));
    SocketRow &r = m_rows.at(static_cast<std::size_t>(row));

    r.enable = MakeCheck(host, Name("rzchckbxSkt") + letter, kEnableTags.at(row));
    r.group = MakeGroup(host, Name("rzgrpbxSkt") + letter);
    r.lblLinkType = MakeLabel(r.group, Name("lblLinkTpye") + letter);
    r.protocol = MakeCombo(r.group, Name("cbbProtocol") + letter, {Name("TCP"), Name("UDP")}, 0,
                           r.lblLinkType);
    r.protocol->setProperty("tag", row + 1);
    r.connKind = MakeCombo(r.group, Name("cbb") + letter + Name("SL"),
                           {Name("lang_cbbASL0"), Name("lang_cbbASL1")}, 0);
    r.lblIpAndPort = MakeLabel(r.group, Name("lblIpAndPort") + letter);
    r.addr = MakeEdit(r.group, Name("edtAddr") + letter, r.lblIpAndPort);
    r.port = MakeEdit(r.group, Name("edtPort") + letter);
    r.port->setFixedWidth(kShortEdit);
    r.lblTo = MakeLabel(r.group, Name("lblSock") + letter + Name("To"));
    r.timeOut = MakeEdit(r.group, Name("edtSock") + letter + Name("To"), r.lblTo);
    r.timeOut->setFixedWidth(kShortEdit);

    auto *grid = new QGridLayout(r.group);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->addWidget(r.lblLinkType, 0, 0);
    grid->addWidget(r.protocol, 0, 1);
    grid->addWidget(r.connKind, 0, 2, 1, 2);
    grid->addWidget(r.lblIpAndPort, 1, 0);
    grid->addWidget(r.addr, 1, 1, 1, 2);
    grid->addWidget(r.port, 1, 3);
    grid->addWidget(r.lblTo, 2, 0);
    grid->addWidget(r.timeOut, 2, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
}

void TParamPanel::BuildHeartGroup(QWidget *host)
{
    m_rzchckbxHeartEn = MakeCheck(host, Name("rzchckbxHeartEn"), 3);
    m_rzgrpbxHeart = MakeGroup(host, Name("rzgrpbxHeart"));
    m_lblHeartTm = MakeLabel(m_rzgrpbxHeart, Name("lblHeartTm"));
    m_edtHeartTm = MakeEdit(m_rzgrpbxHeart, Name("edtHeartTm"), m_lblHeartTm);
    m_edtHeartTm->setFixedWidth(kShortEdit);
    m_lblHeartDt = MakeLabel(m_rzgrpbxHeart, Name("lblHeartDt"));
    m_edtHeartDt = MakeEdit(m_rzgrpbxHeart, Name("edtHeartDt"), m_lblHeartDt);
    m_rzchckbxHeartDtHex = MakeCheck(m_rzgrpbxHeart, Name("rzchckbxHeartDtHex"), 1);
    m_rzchckbxHeartDtHex->setText(Name("Hex"));
    m_lblHeartSnd = MakeLabel(m_rzgrpbxHeart, Name("lblHeartSnd"));
    m_cbbHeartSnd
        = MakeCombo(m_rzgrpbxHeart, Name("cbbHeartSnd"),
                    {Name("lang_cbbHeartSnd0"), Name("lang_cbbHeartSnd1")}, 0, m_lblHeartSnd);

    auto *grid = new QGridLayout(m_rzgrpbxHeart);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->addWidget(m_lblHeartTm, 0, 0);
    grid->addWidget(m_edtHeartTm, 0, 1, Qt::AlignLeft);
    grid->addWidget(m_lblHeartDt, 1, 0);
    grid->addWidget(m_edtHeartDt, 1, 1);
    grid->addWidget(m_rzchckbxHeartDtHex, 1, 2);
    grid->addWidget(m_lblHeartSnd, 2, 0);
    grid->addWidget(m_cbbHeartSnd, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);
}

void TParamPanel::BuildRegGroup(QWidget *host)
{
    m_rzchckbxRegEn = MakeCheck(host, Name("rzchckbxRegEn"), 4);
    m_rzgrpbxReg = MakeGroup(host, Name("rzgrpbxReg"));
    m_lblRegSnd = MakeLabel(m_rzgrpbxReg, Name("lblRegSnd"));
    m_cbbRegSnd = MakeCombo(m_rzgrpbxReg, Name("cbbRegSnd"),
                            {Name("lang_cbbRegSnd0"), Name("lang_cbbRegSnd1")}, 0, m_lblRegSnd);
    m_lblRegTp = MakeLabel(m_rzgrpbxReg, Name("lblRegTp"));
    m_cbbRegTp = MakeCombo(m_rzgrpbxReg, Name("cbbRegTp"),
                           {Name("lang_cbbRegTp0"), Name("lang_cbbRegTp1_IMEI"),
                            Name("lang_cbbRegTp3"), Name("lang_cbbRegTp4")},
                           3, m_lblRegTp);
    m_lblRegDt = MakeLabel(m_rzgrpbxReg, Name("lblRegDt"));
    m_cbbRegDt = new TRegDataBox(m_rzgrpbxReg);
    m_cbbRegDt->setObjectName(Name("cbbRegDt"));
    m_cbbRegDt->setAccessibleName(Name("cbbRegDt"));
    m_rzchckbxRegDtHex = MakeCheck(m_rzgrpbxReg, Name("rzchckbxRegDtHex"), 2);
    m_rzchckbxRegDtHex->setText(Name("Hex"));
    m_edtCloudPa = MakeEdit(m_rzgrpbxReg, Name("edtCloudPa"));
    // The limit is for typing: a longer code put in by the program stays whole (SetEditText
    // widens the limit) and may then be shortened by hand, never lengthened.
    m_edtCloudPa->setMaxLength(kCloudCodeTyped);
    connect(m_edtCloudPa, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_edtCloudPa->setMaxLength(std::max<int>(kCloudCodeTyped, static_cast<int>(text.size())));
    });
    m_edtCloudPa->setFixedWidth(kShortEdit + 10);
    m_lblUdcId = MakeLabel(m_rzgrpbxReg, Name("lblUdcId"));
    m_lblUdcId->setText(Name("UDC ID"));
    m_edtUdcId = MakeEdit(m_rzgrpbxReg, Name("edtUdcId"), m_lblUdcId);
    // Shown only by the UDC rules.
    m_lblUdcId->hide();
    m_edtUdcId->hide();

    auto *grid = new QGridLayout(m_rzgrpbxReg);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->addWidget(m_lblRegSnd, 0, 0);
    grid->addWidget(m_cbbRegSnd, 0, 1, 1, 2);
    grid->addWidget(m_lblRegTp, 1, 0);
    grid->addWidget(m_cbbRegTp, 1, 1, 1, 2);
    // The UDC identifier takes the place of the registration data; only one pair is shown.
    grid->addWidget(m_lblRegDt, 2, 0);
    grid->addWidget(m_lblUdcId, 2, 0);
    grid->addWidget(m_cbbRegDt, 2, 1);
    grid->addWidget(m_edtUdcId, 2, 1);
    grid->addWidget(m_rzchckbxRegDtHex, 2, 2);
    grid->addWidget(m_edtCloudPa, 2, 2);
    grid->setColumnStretch(1, 1);
}

// The pages are born inside the panel, in its font: a page whose font changed as it joined the
// stack would have each of its lists build its drop-down at once.
QWidget *TParamPanel::BuildNetPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(Name("rztbshtNetTran"));
    auto *content = new QWidget(this);
    content->setObjectName(Name("advscrlbxParaContent"));
    auto *grid = new QGridLayout(content);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);

    auto addRow = [grid](int line, QWidget *enable, QWidget *group) {
        if (enable != nullptr)
            grid->addWidget(enable, line, 0, Qt::AlignTop | Qt::AlignLeft);
        grid->addWidget(group, line, 1);
    };

    BuildSocketRow(0, content);
    BuildSocketRow(1, content);
    addRow(0, m_rows[0].enable, m_rows[0].group);
    addRow(1, m_rows[1].enable, m_rows[1].group);

    // Rows C and D are kept for the device's values but never shown.
    auto *hiddenRows = new QWidget(content);
    hiddenRows->setObjectName(Name("pnlSktCD"));
    auto *hiddenGrid = new QGridLayout(hiddenRows);
    BuildSocketRow(2, hiddenRows);
    BuildSocketRow(3, hiddenRows);
    for (int row = 2; row < 4; ++row) {
        hiddenGrid->addWidget(m_rows.at(static_cast<std::size_t>(row)).enable, row, 0);
        hiddenGrid->addWidget(m_rows.at(static_cast<std::size_t>(row)).group, row, 1);
    }
    hiddenRows->hide();
    grid->addWidget(hiddenRows, 2, 0, 1, 2);

    BuildHeartGroup(content);
    BuildRegGroup(content);
    addRow(3, m_rzchckbxHeartEn, m_rzgrpbxHeart);
    addRow(4, m_rzchckbxRegEn, m_rzgrpbxReg);

    m_rzchckbxSOCKIND = MakeCheck(content, Name("rzchckbxSOCKIND"), 0);
    m_rzchckbxSOCKIND->hide();
    m_rzgrpbxOther1 = MakeGroup(content, Name("rzgrpbxOther1"));
    m_lbledtSockRsTimLabel = MakeLabel(m_rzgrpbxOther1, Name("lbledtSockRsTimLabel"));
    m_lbledtSockRsTim = MakeEdit(m_rzgrpbxOther1, Name("lbledtSockRsTim"), m_lbledtSockRsTimLabel);
    m_lbledtSockRsTim->setFixedWidth(kShortEdit);
    auto *otherLayout = new QHBoxLayout(m_rzgrpbxOther1);
    otherLayout->setContentsMargins(8, 6, 8, 6);
    otherLayout->addWidget(m_lbledtSockRsTimLabel);
    otherLayout->addWidget(m_lbledtSockRsTim);
    otherLayout->addStretch(1);
    addRow(5, m_rzchckbxSOCKIND, m_rzgrpbxOther1);
    grid->setRowStretch(6, 1);

    m_advscrlbxPara = MakeScrollArea(page, Name("advscrlbxPara"), content);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_advscrlbxPara);
    return page;
}

QWidget *TParamPanel::BuildHttpdPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(Name("rztbshtHttpd"));
    m_rzgrpbxHttpdPara = MakeGroup(page, Name("rzgrpbxHttpdPara"));
    QGroupBox *g = m_rzgrpbxHttpdPara;
    m_lblHTPTP = MakeLabel(g, Name("lblHTPTP"));
    m_cbbHTPTP = MakeCombo(g, Name("cbbHTPTP"), {Name("GET"), Name("POST")}, 1, m_lblHTPTP);
    m_lblHTPURL = MakeLabel(g, Name("lblHTPURL"));
    m_edtHTPURL = MakeEdit(g, Name("edtHTPURL"), m_lblHTPURL);
    m_lblHTPSVIP = MakeLabel(g, Name("lblHTPSVIP"));
    m_edtHTPSVIP = MakeEdit(g, Name("edtHTPSVIP"), m_lblHTPSVIP);
    m_lblHTPSVPort = MakeLabel(g, Name("lblHTPSVPort"));
    m_edtHTPSVPort = MakeEdit(g, Name("edtHTPSVPort"), m_lblHTPSVPort);
    m_edtHTPSVPort->setFixedWidth(kShortEdit);
    m_lblHtpTo = MakeLabel(g, Name("lblHtpTo"));
    m_edtHtpTo = MakeEdit(g, Name("edtHtpTo"), m_lblHtpTo);
    m_edtHtpTo->setFixedWidth(kShortEdit);
    m_lblHTPHD = MakeLabel(g, Name("lblHTPHD"));
    m_edtHTPHD = MakeEdit(g, Name("edtHTPHD"), m_lblHTPHD);
    m_rzchckbxHtpFlt = MakeCheck(g, Name("rzchckbxHtpFlt"), 0);

    auto *grid = new QGridLayout(g);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setVerticalSpacing(8);
    const std::array<std::pair<QLabel *, QWidget *>, 6> rows{{{m_lblHTPTP, m_cbbHTPTP},
                                                              {m_lblHTPURL, m_edtHTPURL},
                                                              {m_lblHTPSVIP, m_edtHTPSVIP},
                                                              {m_lblHTPSVPort, m_edtHTPSVPort},
                                                              {m_lblHtpTo, m_edtHtpTo},
                                                              {m_lblHTPHD, m_edtHTPHD}}};
    int line = 0;
    for (const auto &[label, field] : rows) {
        grid->addWidget(label, line, 0);
        const bool narrow = field == m_edtHTPSVPort || field == m_edtHtpTo || field == m_cbbHTPTP;
        grid->addWidget(field, line, 1, narrow ? Qt::AlignLeft : Qt::Alignment());
        ++line;
    }
    grid->addWidget(m_rzchckbxHtpFlt, line, 1);
    grid->setColumnStretch(1, 1);

    return TopAligned(page, g);
}

QWidget *TParamPanel::BuildSmsPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(Name("rztbshtSmsTran"));
    m_rzgrpbxSmsTranPara = MakeGroup(page, Name("rzgrpbxSmsTranPara"));
    QGroupBox *g = m_rzgrpbxSmsTranPara;
    m_lblDSTNUM = MakeLabel(g, Name("lblDSTNUM"));
    m_edtDSTNUM = MakeEdit(g, Name("edtDSTNUM"), m_lblDSTNUM);
    m_rzchckbxSMSFLT = MakeCheck(g, Name("rzchckbxSMSFLT"), 0);
    m_rzchckbxSMSPH = MakeCheck(g, Name("rzchckbxSMSPH"), 0);

    auto *grid = new QGridLayout(g);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setVerticalSpacing(8);
    grid->addWidget(m_lblDSTNUM, 0, 0);
    grid->addWidget(m_edtDSTNUM, 0, 1);
    grid->addWidget(m_rzchckbxSMSFLT, 1, 0, 1, 2);
    grid->addWidget(m_rzchckbxSMSPH, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    return TopAligned(page, g);
}

QWidget *TParamPanel::BuildBaseArea()
{
    auto *sizePanel = new QWidget(this);
    sizePanel->setObjectName(Name("rzszpnlBase"));
    m_rzgrpbxBase = MakeGroup(sizePanel, Name("rzgrpbxBase"));
    auto *content = new QWidget(this);
    content->setObjectName(Name("advscrlbxBaseContent"));

    m_lblUart = MakeLabel(content, Name("lblUart"));
    QFont bold = m_lblUart->font();
    bold.setBold(true);
    m_lblUart->setFont(bold);

    m_rzgrpbxUart = MakeGroup(content, Name("rzgrpbxUart"));
    m_rzgrpbxUart->setFocusPolicy(Qt::ClickFocus);
    QGroupBox *u = m_rzgrpbxUart;
    m_lblBaud = MakeLabel(u, Name("lblBaud"));
    m_cbbBaud = MakeCombo(u, Name("cbbBaud"),
                          {Name("1200"), Name("2400"), Name("4800"), Name("9600"), Name("14400"),
                           Name("19200"), Name("28800"), Name("33600"), Name("38400"),
                           Name("57600"), Name("115200"), Name("230400"), Name("460800")},
                          10, m_lblBaud);
    m_lblPDS = MakeLabel(u, Name("lblPDS"));
    m_cbbP = MakeCombo(u, Name("cbbP"), {Name("NONE"), Name("ODD"), Name("EVEN")}, 0, m_lblPDS);
    m_cbbD = MakeCombo(u, Name("cbbD"), {Name("7"), Name("8")}, 1);
    m_cbbS = MakeCombo(u, Name("cbbS"), {Name("1"), Name("2")}, 0);
    m_lblFlow = MakeLabel(u, Name("lblFlow"));
    m_cbbFlow = MakeCombo(u, Name("cbbFlow"), {Name("NFC"), Name("RS485")}, 0, m_lblFlow);
    m_lblFlow->hide();
    m_cbbFlow->hide();
    m_cbbBaud->setFixedWidth(90);
    for (QComboBox *box : {m_cbbP, m_cbbD, m_cbbS, m_cbbFlow})
        box->setFixedWidth(box == m_cbbP || box == m_cbbFlow ? 76 : 48);
    m_lblUARTFT = MakeLabel(u, Name("lblUARTFT"));
    m_edtUARTFT = MakeEdit(u, Name("edtUARTFT"), m_lblUARTFT);
    m_edtUARTFT->setFixedWidth(kShortEdit);
    m_lblUARTFL = MakeLabel(u, Name("lblUARTFL"));
    m_edtUARTFL = MakeEdit(u, Name("edtUARTFL"), m_lblUARTFL);
    m_edtUARTFL->setFixedWidth(kShortEdit);

    // Two independent rows, so that a long caption in one does not widen the other.
    auto *serialRow = new QHBoxLayout;
    serialRow->setSpacing(4);
    serialRow->addWidget(m_lblBaud);
    serialRow->addWidget(m_cbbBaud);
    serialRow->addSpacing(16);
    serialRow->addWidget(m_lblPDS);
    serialRow->addWidget(m_cbbP);
    serialRow->addWidget(m_cbbD);
    serialRow->addWidget(m_cbbS);
    serialRow->addWidget(m_lblFlow);
    serialRow->addWidget(m_cbbFlow);
    serialRow->addStretch(1);
    auto *packRow = new QHBoxLayout;
    packRow->setSpacing(4);
    packRow->addWidget(m_lblUARTFT);
    packRow->addWidget(m_edtUARTFT);
    packRow->addSpacing(16);
    packRow->addWidget(m_lblUARTFL);
    packRow->addWidget(m_edtUARTFL);
    packRow->addStretch(1);
    auto *uartLayout = new QVBoxLayout(u);
    uartLayout->setContentsMargins(8, 6, 8, 6);
    uartLayout->addLayout(serialRow);
    uartLayout->addLayout(packRow);

    m_rzchckbxMore = MakeCheck(content, Name("rzchckbxMore"), 5);
    m_rzgrpbxMore = MakeGroup(content, Name("rzgrpbxMore"));
    m_rzgrpbxMore->setFocusPolicy(Qt::ClickFocus);
    QGroupBox *m = m_rzgrpbxMore;
    m_rzchckbxRFC = MakeCheck(m, Name("rzchckbxRFC"), 0);
    m_rzchckbxRFC->hide();
    m_rzchckbxE = MakeCheck(m, Name("rzchckbxE"), 0);
    m_lbledtCmdPwLabel = MakeLabel(m, Name("lbledtCmdPwLabel"));
    m_lbledtCmdPw = MakeEdit(m, Name("lbledtCmdPw"), m_lbledtCmdPwLabel);
    m_lbledtStMsgLabel = MakeLabel(m, Name("lbledtStMsgLabel"));
    m_lbledtStMsg = MakeEdit(m, Name("lbledtStMsg"), m_lbledtStMsgLabel);
    m_lbledtApnLabel = MakeLabel(m, Name("lbledtApnLabel"));
    m_lbledtApn = MakeEdit(m, Name("lbledtApn"), m_lbledtApnLabel);
    m_lbledtRsTimLabel = MakeLabel(m, Name("lbledtRsTimLabel"));
    m_lbledtRsTim = MakeEdit(m, Name("lbledtRsTim"), m_lbledtRsTimLabel);
    m_lbledtRsTim->setFixedWidth(kShortEdit);

    auto *moreGrid = new QGridLayout(m);
    moreGrid->setContentsMargins(8, 6, 8, 6);
    moreGrid->addWidget(m_rzchckbxE, 0, 0, 1, 2);
    moreGrid->addWidget(m_rzchckbxRFC, 0, 2, 1, 2);
    moreGrid->addWidget(m_lbledtCmdPwLabel, 1, 0);
    moreGrid->addWidget(m_lbledtCmdPw, 1, 1);
    moreGrid->addWidget(m_lbledtStMsgLabel, 1, 2);
    moreGrid->addWidget(m_lbledtStMsg, 1, 3);
    moreGrid->addWidget(m_lbledtApnLabel, 2, 0);
    moreGrid->addWidget(m_lbledtApn, 2, 1);
    moreGrid->addWidget(m_lbledtRsTimLabel, 2, 2);
    moreGrid->addWidget(m_lbledtRsTim, 2, 3, Qt::AlignLeft);
    moreGrid->setColumnStretch(1, 1);
    moreGrid->setColumnStretch(3, 1);

    auto *contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(6, 2, 6, 6);
    contentLayout->setSpacing(4);
    contentLayout->addWidget(m_lblUart);
    contentLayout->addWidget(m_rzgrpbxUart);
    contentLayout->addWidget(m_rzchckbxMore);
    contentLayout->addWidget(m_rzgrpbxMore);
    contentLayout->addStretch(1);

    m_advscrlbxBase = MakeScrollArea(m_rzgrpbxBase, Name("advscrlbxBase"), content);
    auto *baseLayout = new QVBoxLayout(m_rzgrpbxBase);
    baseLayout->setContentsMargins(2, 4, 2, 2);
    baseLayout->addWidget(m_advscrlbxBase);
    auto *sizeLayout = new QVBoxLayout(sizePanel);
    sizeLayout->setContentsMargins(0, 0, 0, 0);
    sizeLayout->addWidget(m_rzgrpbxBase);
    sizePanel->setMinimumHeight(60);
    return sizePanel;
}

} // namespace m845
