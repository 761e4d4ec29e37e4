#pragma once

// The signal monitor in the window: its switch and settings in one line above the log, and
// while it is on the reading in dBm with its quality band, the trend of the last ten minutes,
// the two sockets' links and the device card.

#include <cstdint>

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace m845 {

class TSignalMonitor;
class TSignalTrendView;
struct TLinkInfo;

class TMonitorPanel final : public QWidget
{
    Q_OBJECT
public:
    explicit TMonitorPanel(QWidget *parent = nullptr);

    // Shows what the monitor holds now; the monitor must outlive the panel.
    void Show(const TSignalMonitor &monitor);
    void ApplyTexts();

    // The settings as the file had them, without a signal of change.
    void SetSettings(bool on, int periodSeconds, bool logLine);
    [[nodiscard]] bool SwitchOn() const;
    [[nodiscard]] int PeriodSeconds() const;
    [[nodiscard]] bool LogLine() const;

    [[nodiscard]] TSignalTrendView *Trend() const { return m_trend; }
    // While a signal log is written the save button waits.
    void SetSaving(bool saving);
    // The height the panel needs: the header alone while off.
    [[nodiscard]] int WantedHeight() const;

signals:
    void SwitchToggled(bool on);
    void PeriodChanged(int seconds);
    void LogLineToggled(bool on);
    void SaveClicked();

private:
    void ShowBody(bool on);
    void FixLabelSizes();
    void ShowLink(QLabel *label, const char *letter, const TLinkInfo &link, std::int64_t now);

    const TSignalMonitor *m_monitor = nullptr;
    QWidget *m_body = nullptr;
    QPushButton *m_btnMonitor = nullptr;
    QLabel *m_lblState = nullptr;
    QLabel *m_lblPeriod = nullptr;
    QSpinBox *m_spnPeriod = nullptr;
    QCheckBox *m_chbLog = nullptr;
    QPushButton *m_btnSave = nullptr;
    QLabel *m_lblSignal = nullptr;
    QLabel *m_lblBand = nullptr;
    QLabel *m_lblSocketA = nullptr;
    QLabel *m_lblSocketB = nullptr;
    TSignalTrendView *m_trend = nullptr;
    QWidget *m_grpCard = nullptr;
    QLabel *m_cardCaptions[5] = {};
    QLabel *m_cardValues[5] = {};
    int m_shownBand = -1;
    bool m_saving = false;
    bool m_labelSizesStale = true;
};

// "45 s", "2 min 5 s", "1 h 12 min" in the current language.
[[nodiscard]] QString DurationText(std::int64_t ms);

} // namespace m845
