#include "ui/monitor/signaltrendview.h"

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

#include <QElapsedTimer>
#include <QEvent>
#include <QPainter>
#include <QPolygonF>

#include "monitor/signalreading.h"
#include "monitor/signaltrend.h"
#include "ui/monitor/bandcolours.h"

namespace m845 {

namespace {

// Two readings further apart than this are not joined: the monitor was paused or stopped.
constexpr std::int64_t kJoinGapMs = 15000;
constexpr int kAxisWidth = 34;
constexpr int kCaptionHeight = 15;

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

QRectF PlotArea(const QRect &rect)
{
    return QRectF(rect).adjusted(kAxisWidth, 4, -4, -8 - kCaptionHeight);
}

double YOf(const QRectF &plot, double csq)
{
    return plot.bottom() - csq / kCsqMax * plot.height();
}

// One unbroken run of readings. Denser than the pixels, a column keeps only its lowest and
// highest reading: the same picture at a fraction of the drawing.
struct TRun
{
    QPolygonF points;
    int column = INT_MIN;

    void Add(const QPointF &point, bool dense)
    {
        if (!dense) {
            points << point;
            return;
        }
        const int at = static_cast<int>(point.x());
        if (at != column) {
            column = at;
            points << point << point;
            return;
        }
        QPointF &low = points[points.size() - 2];
        QPointF &high = points.back();
        low.setY(std::min(low.y(), point.y()));
        high.setY(std::max(high.y(), point.y()));
    }
};

} // namespace

TSignalTrendView::TSignalTrendView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("pbxMonitorTrend"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TSignalTrendView::SetCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void TSignalTrendView::SetTrend(const TSignalTrend *trend, std::function<std::int64_t()> now)
{
    m_trend = trend;
    m_now = std::move(now);
    update();
}

QSize TSignalTrendView::sizeHint() const
{
    return {420, 125};
}

QSize TSignalTrendView::minimumSizeHint() const
{
    return {120, 85};
}

void TSignalTrendView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        m_background = QPixmap();
    QWidget::changeEvent(event);
}

void TSignalTrendView::PaintBackground()
{
    const qreal ratio = devicePixelRatioF();
    m_background = QPixmap(size() * ratio);
    m_background.setDevicePixelRatio(ratio);
    QPainter p(&m_background);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QRectF plot = PlotArea(rect());
    for (const TBandRow &row : kRows) {
        QColor tint = BandColour(row.band);
        tint.setAlpha(38);
        p.fillRect(QRectF(plot.left(), YOf(plot, row.high), plot.width(),
                          YOf(plot, row.low) - YOf(plot, row.high)),
                   tint);
    }
    QFont small = font();
    small.setPixelSize(10);
    p.setFont(small);
    p.setPen(palette().color(QPalette::PlaceholderText));
    for (const int csq : {0, 10, 15, 20, 31}) {
        const double y = YOf(plot, csq);
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
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(plot);
}

void TSignalTrendView::paintEvent(QPaintEvent *)
{
    QElapsedTimer clock;
    clock.start();
    if (m_background.isNull() || m_background.deviceIndependentSize() != QSizeF(size()))
        PaintBackground();
    QPainter p(this);
    p.drawPixmap(0, 0, m_background);
    if (m_trend != nullptr && m_now && !m_trend->Empty())
        PaintSamples(p);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRectF(kAxisWidth, height() - kCaptionHeight, width() - kAxisWidth, kCaptionHeight),
               Qt::AlignLeft | Qt::AlignVCenter, m_caption);
    m_longestPaintNs = std::max(m_longestPaintNs, clock.nsecsElapsed());
}

void TSignalTrendView::PaintSamples(QPainter &p) const
{
    const QRectF plot = PlotArea(rect());
    const std::int64_t from = m_now() - kTrendSpanMs;
    const auto xOf = [&](std::int64_t at) {
        return plot.left() + static_cast<double>(at - from) / kTrendSpanMs * plot.width();
    };
    const auto &samples = m_trend->Samples();
    const auto first
        = std::lower_bound(samples.begin(), samples.end(), from,
                           [](const TSignalSample &s, std::int64_t at) { return s.atMs < at; });
    // A dot for each reading only while they stand well apart.
    const bool dense = static_cast<double>(samples.end() - first) > plot.width() / 4;

    std::vector<TRun> runs(1);
    std::vector<std::pair<QPointF, TSignalBand>> dots;
    std::vector<std::pair<int, bool>> marks; // column, no signal (else unknown)
    std::int64_t lastAt = 0;
    for (auto it = first; it != samples.end(); ++it) {
        const double x = xOf(it->atMs);
        if (!(it->csq && *it->csq <= kCsqMax)) {
            if (marks.empty() || marks.back().first != static_cast<int>(x))
                marks.emplace_back(static_cast<int>(x), it->csq.has_value());
            if (!runs.back().points.isEmpty())
                runs.emplace_back();
            continue;
        }
        if (!runs.back().points.isEmpty() && it->atMs - lastAt > kJoinGapMs)
            runs.emplace_back();
        lastAt = it->atMs;
        const QPointF point(x, YOf(plot, *it->csq));
        runs.back().Add(point, dense);
        if (!dense)
            dots.emplace_back(point, BandOfCsq(it->csq));
    }

    p.setRenderHint(QPainter::Antialiasing, !dense);
    p.setPen(QPen(palette().color(QPalette::Highlight), dense ? 1 : 1.6));
    for (const TRun &run : runs)
        p.drawPolyline(run.points);
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

} // namespace m845
