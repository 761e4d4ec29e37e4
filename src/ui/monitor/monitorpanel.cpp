#include "ui/monitor/monitorpanel.h"

#include <array>
#include <cmath>
#include <string>

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "lang/langlist.h"
#include "monitor/signalmonitor.h"
#include "ui/common/textsetters.h"
#include "ui/common/uitext.h"
#include "ui/monitor/bandcolours.h"
#include "ui/monitor/signaltrendview.h"

namespace m845 {

namespace {

using detail::Lang;

constexpr int kHeaderHeight = 30;
constexpr int kBodyHeight = 160;
// The reading's column: wide enough for "-113 dBm (CSQ 0)" in its large font.
constexpr int kReadingWidth = 190;

// The card's fields: caption key, object name of the value, and its place.
struct TCardField
{
    const char *caption;
    const char *name;
    int row, column;
};

// In the order of TDeviceCard's fields: firmware, hardware, serial number, ICCID, identity.
constexpr std::array<TCardField, 5> kCardRows = {{
    {"info_MonCardFw", "lblMonitorFw", 0, 0},
    {"info_MonCardHw", "lblMonitorHw", 0, 2},
    {"info_MonCardSn", "lblMonitorSn", 0, 1},
    {"info_MonCardIccid", "lblMonitorIccid", 1, 0},
    {"info_MonCardIdentity", "lblMonitorIdentity", 1, 1},
}};

QLabel *MakeLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QString Text(const std::string &text)
{
    return QString::fromStdString(text);
}

void Colour(QLabel *label, const QColor &text)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
}

// A lamp that is lit while the monitor is on.
QIcon SwitchIcon()
{
    QIcon icon;
    for (const bool on : {false, true}) {
        QPixmap lamp(12, 12);
        lamp.fill(Qt::transparent);
        QPainter p(&lamp);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(90, 90, 90));
        p.setBrush(on ? BandColour(TSignalBand::Excellent) : QColor(200, 200, 200));
        p.drawEllipse(QRectF(1, 1, 10, 10));
        icon.addPixmap(lamp, QIcon::Normal, on ? QIcon::On : QIcon::Off);
    }
    return icon;
}

} // namespace

QString DurationText(std::int64_t ms)
{
    const std::int64_t seconds = std::max<std::int64_t>(ms, 0) / 1000;
    if (seconds < 60)
        return Text(LangFormat("info_MonSeconds", {std::to_string(seconds)}));
    if (seconds < 3600)
        return Text(LangFormat("info_MonMinutes",
                               {std::to_string(seconds / 60), std::to_string(seconds % 60)}));
    return Text(LangFormat("info_MonHours",
                           {std::to_string(seconds / 3600), std::to_string(seconds / 60 % 60)}));
}

TMonitorPanel::TMonitorPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlMonitor"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 0, 4, 2);
    outer->setSpacing(2);

    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("pnlMonitorHeader"));
    header->setFixedHeight(kHeaderHeight);
    auto *bar = new QHBoxLayout(header);
    bar->setContentsMargins(0, 0, 0, 0);
    m_btnMonitor = new QPushButton(header);
    m_btnMonitor->setObjectName(QStringLiteral("btnMonitor"));
    m_btnMonitor->setCheckable(true);
    m_btnMonitor->setIcon(SwitchIcon());
    m_lblPeriod = MakeLabel("lblMonitorPeriod", header);
    m_spnPeriod = new QSpinBox(header);
    m_spnPeriod->setObjectName(QStringLiteral("spnMonitorPeriod"));
    m_spnPeriod->setRange(1, 600);
    m_spnPeriod->setValue(kDefaultCsqPeriodMs / 1000);
    m_lblPeriod->setBuddy(m_spnPeriod);
    m_chbLog = new QCheckBox(header);
    m_chbLog->setObjectName(QStringLiteral("chbMonitorLog"));
    m_btnSave = new QPushButton(header);
    m_btnSave->setObjectName(QStringLiteral("btnMonitorSave"));
    m_btnSave->setEnabled(false);
    bar->addWidget(m_btnMonitor);
    bar->addStretch(1);
    bar->addWidget(m_lblPeriod);
    bar->addWidget(m_spnPeriod);
    bar->addSpacing(6);
    bar->addWidget(m_chbLog);
    bar->addWidget(m_btnSave);
    outer->addWidget(header);

    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("pnlMonitorBody"));
    auto *rows = new QVBoxLayout(m_body);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(3);
    auto *columns = new QHBoxLayout;
    rows->addLayout(columns, 1);
    auto *reading = new QVBoxLayout;
    reading->setContentsMargins(0, 0, 0, 0);
    reading->setSpacing(2);
    m_lblSignal = MakeLabel("lblMonitorSignal", m_body);
    QFont big = m_lblSignal->font();
    big.setPixelSize(18);
    big.setBold(true);
    m_lblSignal->setFont(big);
    m_lblBand = MakeLabel("lblMonitorBand", m_body);
    m_lblBand->setAlignment(Qt::AlignCenter);
    m_lblBand->setAutoFillBackground(true);
    m_lblBand->setMargin(3);
    QFont bold = m_lblBand->font();
    bold.setBold(true);
    m_lblBand->setFont(bold);
    m_lblSocketA = MakeLabel("lblMonitorSocketA", m_body);
    m_lblSocketB = MakeLabel("lblMonitorSocketB", m_body);
    m_lblState = MakeLabel("lblMonitorState", m_body);
    m_lblState->setWordWrap(true);
    QFont small = m_lblState->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_lblState->setFont(small);
    Colour(m_lblState, m_lblState->palette().color(QPalette::PlaceholderText));
    reading->addWidget(m_lblSignal);
    reading->addWidget(m_lblBand, 0, Qt::AlignLeft);
    reading->addSpacing(2);
    reading->addWidget(m_lblSocketA);
    reading->addWidget(m_lblSocketB);
    reading->addStretch(1);
    reading->addWidget(m_lblState);
    auto *readingBox = new QWidget(m_body);
    readingBox->setLayout(reading);
    readingBox->setFixedWidth(kReadingWidth);
    columns->addWidget(readingBox);

    auto *trendColumn = new QVBoxLayout;
    trendColumn->setSpacing(1);
    m_trend = new TSignalTrendView(m_body);
    trendColumn->addWidget(m_trend, 1);
    columns->addLayout(trendColumn, 1);

    // The card in two lines under the reading and the trend, which get the width.
    m_grpCard = new QWidget(m_body);
    m_grpCard->setObjectName(QStringLiteral("grpMonitorCard"));
    auto *card = new QGridLayout(m_grpCard);
    card->setContentsMargins(0, 0, 0, 0);
    card->setHorizontalSpacing(6);
    card->setVerticalSpacing(0);
    for (std::size_t i = 0; i < kCardRows.size(); ++i) {
        m_cardCaptions[i] = new QLabel(m_grpCard);
        Colour(m_cardCaptions[i], m_cardCaptions[i]->palette().color(QPalette::PlaceholderText));
        m_cardValues[i] = MakeLabel(kCardRows[i].name, m_grpCard);
        // An ICCID or IMEI is copied into a site report.
        m_cardValues[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        card->addWidget(m_cardCaptions[i], kCardRows[i].row, 2 * kCardRows[i].column);
        card->addWidget(m_cardValues[i], kCardRows[i].row, 2 * kCardRows[i].column + 1);
    }
    card->setColumnStretch(5, 1);
    rows->addWidget(m_grpCard);
    outer->addWidget(m_body, 1);
    ShowBody(false);

    connect(m_btnMonitor, &QPushButton::toggled, this, [this](bool on) {
        ShowBody(on);
        emit SwitchToggled(on);
    });
    connect(m_spnPeriod, &QSpinBox::valueChanged, this,
            [this](int seconds) { emit PeriodChanged(seconds); });
    connect(m_chbLog, &QCheckBox::toggled, this, [this](bool on) { emit LogLineToggled(on); });
    connect(m_btnSave, &QPushButton::clicked, this, [this] { emit SaveClicked(); });
}

void TMonitorPanel::SetSettings(bool on, int periodSeconds, bool logLine)
{
    const QSignalBlocker switchBlocker(m_btnMonitor);
    const QSignalBlocker periodBlocker(m_spnPeriod);
    const QSignalBlocker logBlocker(m_chbLog);
    m_btnMonitor->setChecked(on);
    m_spnPeriod->setValue(periodSeconds);
    m_chbLog->setChecked(logLine);
    ShowBody(on);
}

void TMonitorPanel::SetSaving(bool saving)
{
    m_saving = saving;
    if (m_monitor != nullptr)
        Show(*m_monitor);
}

bool TMonitorPanel::SwitchOn() const
{
    return m_btnMonitor->isChecked();
}

int TMonitorPanel::PeriodSeconds() const
{
    return m_spnPeriod->value();
}

bool TMonitorPanel::LogLine() const
{
    return m_chbLog->isChecked();
}

int TMonitorPanel::WantedHeight() const
{
    return m_body->isVisible() || SwitchOn() ? kHeaderHeight + kBodyHeight : kHeaderHeight + 4;
}

void TMonitorPanel::ShowBody(bool on)
{
    if (on && m_labelSizesStale)
        FixLabelSizes();
    m_body->setVisible(on);
    // A splitter keeps what its children allow: the header alone while the monitor is off.
    if (on) {
        setMaximumHeight(QWIDGETSIZE_MAX);
        setMinimumHeight(kHeaderHeight + 110);
    } else {
        setMinimumHeight(kHeaderHeight + 4);
        setMaximumHeight(kHeaderHeight + 4);
    }
}

void TMonitorPanel::ApplyTexts()
{
    SetCaptionByKey(m_btnMonitor, "lang_btnMonitor");
    m_btnMonitor->setAccessibleName(Lang("lang_btnMonitor"));
    SetCaptionByKey(m_lblPeriod, "lang_lblMonitorPeriod");
    m_spnPeriod->setAccessibleName(Lang("lang_lblMonitorPeriod"));
    m_spnPeriod->setSuffix(Lang("info_MonSecondsSuffix"));
    SetCaptionByKey(m_chbLog, "lang_chbMonitorLog");
    SetCaptionByKey(m_btnSave, "lang_btnMonitorSave");
    m_grpCard->setAccessibleName(Lang("lang_grpMonitorCard"));
    for (std::size_t i = 0; i < kCardRows.size(); ++i) {
        m_cardCaptions[i]->setText(Lang(kCardRows[i].caption));
        m_cardValues[i]->setAccessibleName(Lang(kCardRows[i].caption));
    }
    m_trend->setAccessibleName(Lang("info_MonTrend"));
    // The readings' large font is loaded only once they are shown (a millisecond of the start).
    m_labelSizesStale = true;
    if (!m_body->isHidden())
        FixLabelSizes();
    m_shownBand = -1;
    if (m_monitor != nullptr)
        Show(*m_monitor);
}

void TMonitorPanel::FixLabelSizes()
{
    // A label of fixed size takes a new text without a new layout of the whole window, which
    // every poll and every second would otherwise cost.
    m_labelSizesStale = false;
    const auto lines = [](QLabel *label, int count) {
        label->setFixedSize(kReadingWidth, count * label->fontMetrics().lineSpacing() + 2);
    };
    lines(m_lblSignal, 1);
    lines(m_lblSocketA, 2);
    lines(m_lblSocketB, 2);
    lines(m_lblState, 2);
    int band = 0;
    for (int i = 0; i <= static_cast<int>(TSignalBand::Unknown); ++i)
        band = std::max(band, m_lblBand->fontMetrics().horizontalAdvance(
                                  Lang(BandKey(static_cast<TSignalBand>(i)))));
    m_lblBand->setFixedSize(band + 2 * m_lblBand->margin() + 10,
                            m_lblBand->fontMetrics().height() + 2 * m_lblBand->margin());
}

void TMonitorPanel::ShowLink(QLabel *label, const char *letter, const TLinkInfo &link,
                             std::int64_t now)
{
    QString text = Text(LangFormat("info_MonSocket", {letter, LinkText(link.reading)}));
    if (link.seen) {
        const QString age = DurationText(now - link.sinceMs);
        // Seen so from the start: it may have been so for longer.
        text += QLatin1Char('\n')
                + (link.changed ? Text(LangFormat("info_MonFor", {age.toStdString()}))
                                : Text(LangFormat("info_MonAtLeast", {age.toStdString()})));
    }
    label->setText(text);
    const TSignalBand colour = link.reading.state == TLinkState::Connected ? TSignalBand::Excellent
                               : link.reading.state == TLinkState::Disconnected
                                   ? TSignalBand::Poor
                                   : TSignalBand::Unknown;
    Colour(label, BandColour(colour));
}

void TMonitorPanel::Show(const TSignalMonitor &monitor)
{
    if (m_monitor != &monitor) {
        m_monitor = &monitor;
        m_trend->SetTrend(&monitor.Trend(), [&monitor] { return monitor.Now(); });
    }
    static constexpr std::array<const char *, 7> stateKeys
        = {"info_MonStateOff",     "info_MonStateNoPort",   "info_MonStatePolling",
           "info_MonStateBusy",    "info_MonStateFirmware", "info_MonStateDataTransfer",
           "info_MonStateNoAnswer"};
    m_lblState->setText(Lang(stateKeys[static_cast<std::size_t>(monitor.State())]));

    const TSignalTrend &trend = monitor.Trend();
    m_btnSave->setEnabled(!trend.Empty() && !m_saving);
    const std::optional<int> csq = trend.Empty() ? std::nullopt : trend.Samples().back().csq;
    m_lblSignal->setText(trend.Empty() ? QStringLiteral("—") : Text(SignalText(csq)));
    const TSignalBand band = trend.Empty() ? TSignalBand::Unknown : BandOfCsq(csq);
    m_lblBand->setText(Lang(BandKey(band)));
    if (static_cast<int>(band) != m_shownBand) {
        m_shownBand = static_cast<int>(band);
        QPalette palette = m_lblBand->palette();
        palette.setColor(QPalette::Window, BandColour(band));
        palette.setColor(QPalette::WindowText, Qt::white);
        m_lblBand->setPalette(palette);
    }

    const std::int64_t now = monitor.Now();
    ShowLink(m_lblSocketA, "A", monitor.Link(0), now);
    ShowLink(m_lblSocketB, "B", monitor.Link(1), now);

    const TSpanStats stats = trend.Stats(now - kTrendSpanMs);
    m_trend->SetCaption(
        stats.count == 0
            ? Lang("info_MonSpanNone")
            : Text(LangFormat("info_MonSpan", {std::to_string(stats.minDbm),
                                               std::to_string(std::lround(stats.averageDbm)),
                                               std::to_string(stats.maxDbm)})));
    m_trend->setAccessibleDescription(m_trend->Caption());
    m_trend->update();

    const TDeviceCard &card = monitor.Card();
    const std::array<const std::string *, 5> values
        = {&card.firmware, &card.hardware, &card.serial, &card.iccid, &card.identity};
    for (std::size_t i = 0; i < values.size(); ++i)
        m_cardValues[i]->setText(values[i]->empty() ? QStringLiteral("—") : Text(*values[i]));
    m_cardCaptions[4]->setText(card.identityName.empty() ? Lang("info_MonCardIdentity")
                                                         : Text(card.identityName));
}

} // namespace m845
