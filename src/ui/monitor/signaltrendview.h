#pragma once

// The signal of the last ten minutes, drawn over the quality bands: a line through the
// readings, a mark at the foot for each reading without a signal or unknown.

#include <cstdint>
#include <functional>

#include <QPixmap>
#include <QString>
#include <QWidget>

class QPainter;

namespace m845 {

class TSignalTrend;

inline constexpr std::int64_t kTrendSpanMs = 10 * 60 * 1000;

class TSignalTrendView final : public QWidget
{
    Q_OBJECT
public:
    explicit TSignalTrendView(QWidget *parent = nullptr);

    // The samples to draw and the clock their times are on; both must outlive the view.
    void SetTrend(const TSignalTrend *trend, std::function<std::int64_t()> now);
    // The line under the plot (the span's figures); drawn, not laid out, so that its change
    // costs the window no new layout.
    void SetCaption(const QString &caption);
    [[nodiscard]] const QString &Caption() const { return m_caption; }
    // The longest paint so far, for the benchmark.
    [[nodiscard]] qint64 LongestPaintNs() const { return m_longestPaintNs; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The bands, the scale and the grid, drawn once for each size.
    void PaintBackground();
    void PaintSamples(QPainter &p) const;

    QPixmap m_background;
    QString m_caption;
    const TSignalTrend *m_trend = nullptr;
    std::function<std::int64_t()> m_now;
    qint64 m_longestPaintNs = 0;
};

} // namespace m845
