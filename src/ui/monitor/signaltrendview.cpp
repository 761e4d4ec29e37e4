#include "ui/monitor/signaltrendview.h"

#include <algorithm>
#include <array>
#include <vector>

#include <QElapsedTimer>
#include <QPainter>
#include <QPainterPath>

#include "monitor/signalreading.h"
#include "monitor/signaltrend.h"
#include "ui/monitor/bandcolours.h"

namespace m845 {

namespace {

// Two readings further apart than this are not joined: the monitor was paused or stopped.
constexpr std::int64_t kJoinGapMs = 15000;
// With more points than this a dot per reading is only noise.
constexpr int kMaxDots = 400;
constexpr int kAxisWidth = 34;

struct TBandRow
{
    TSignalBand band;
    double low; // CSQ
    double high;
};

constexpr std::array<TBandRow, 4> kRows = {{
    {TSignalBand::Poor, 0, 9.5},
    {TSignalBand::Fair, 9.5, 14.5},
    {TSignalBand::Good, 14.5, 19.5},
    {TSignalBand::Excellent, 19.5, 31},
}};

} // namespace

TSignalTrendView::TSignalTrendView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("pbxMonitorTrend"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TSignalTrendView::SetTrend(const TSignalTrend *trend, std::function<std::int64_t()> now)
{
    m_trend = trend;
    m_now = std::move(now);
    update();
}

QSize TSignalTrendView::sizeHint() const
{
    return {420, 110};
}

QSize TSignalTrendView::minimumSizeHint() const
{
    return {160, 70};
}

void TSignalTrendView::paintEvent(QPaintEvent *)
{
    QElapsedTimer clock;
    clock.start();
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QRectF plot = QRectF(rect()).adjusted(kAxisWidth, 4, -4, -8);
    const auto yOf = [&plot](double csq) {
        return plot.bottom() - csq / kCsqMax * plot.height();
    };

    for (const TBandRow &row : kRows) {
        QColor tint = BandColour(row.band);
        tint.setAlpha(38);
        p.fillRect(QRectF(plot.left(), yOf(row.high), plot.width(), yOf(row.low) - yOf(row.high)),
                   tint);
    }
    QFont small = font();
    small.setPixelSize(10);
    p.setFont(small);
    p.setPen(palette().color(QPalette::PlaceholderText));
    for (const int csq : {0, 10, 15, 20, 31}) {
        const double y = yOf(csq);
        p.drawText(QRectF(0, y - 7, kAxisWidth - 4, 14), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(-113 + 2 * csq));
    }
    // One faint line a minute.
    QPen grid(palette().color(QPalette::Mid));
    grid.setStyle(Qt::DotLine);
    p.setPen(grid);
    for (int minute = 1; minute < 10; ++minute) {
        const double x = plot.left() + plot.width() * minute / 10.0;
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }

    if (m_trend != nullptr && m_now && !m_trend->Empty()) {
        const std::int64_t now = m_now();
        const std::int64_t from = now - kTrendSpanMs;
        const auto xOf = [&](std::int64_t at) {
            return plot.left() + static_cast<double>(at - from) / kTrendSpanMs * plot.width();
        };
        const auto &samples = m_trend->Samples();
        auto first
            = std::lower_bound(samples.begin(), samples.end(), from,
                               [](const TSignalSample &s, std::int64_t at) { return s.atMs < at; });
        const auto visible = static_cast<int>(samples.end() - first);

        QPainterPath line;
        bool joined = false;
        std::int64_t lastAt = 0;
        std::vector<std::pair<QPointF, TSignalBand>> dots;
        dots.reserve(static_cast<std::size_t>(std::min(visible, kMaxDots)));
        std::vector<std::pair<double, bool>> marks; // x, no signal (else unknown)
        for (auto it = first; it != samples.end(); ++it) {
            const bool signal = it->csq && *it->csq <= kCsqMax;
            const double x = xOf(it->atMs);
            if (!signal) {
                marks.emplace_back(x, it->csq.has_value());
                joined = false;
                continue;
            }
            const QPointF point(x, yOf(*it->csq));
            if (joined && it->atMs - lastAt <= kJoinGapMs)
                line.lineTo(point);
            else
                line.moveTo(point);
            joined = true;
            lastAt = it->atMs;
            if (visible <= kMaxDots)
                dots.emplace_back(point, BandOfCsq(it->csq));
        }
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(palette().color(QPalette::Highlight), 1.6));
        p.drawPath(line);
        p.setPen(Qt::NoPen);
        for (const auto &[dot, band] : dots) {
            p.setBrush(BandColour(band));
            p.drawEllipse(dot, 2.2, 2.2);
        }
        p.setRenderHint(QPainter::Antialiasing, false);
        for (const auto &[x, noSignal] : marks) {
            p.setPen(QPen(BandColour(noSignal ? TSignalBand::None : TSignalBand::Unknown), 2));
            p.drawLine(QPointF(x, plot.bottom() + 1), QPointF(x, plot.bottom() + 7));
        }
    }
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    m_longestPaintNs = std::max(m_longestPaintNs, clock.nsecsElapsed());
}

} // namespace m845
