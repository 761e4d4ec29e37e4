#pragma once

// Ctrl+C (and SIGTERM) for a station: the first one asks the station to end after the device
// in hand, a second one ends the program at once, as Ctrl+C usually does.

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace m845 {

class TStationSignals final : public QObject
{
    Q_OBJECT
public:
    // onStop runs on the window thread, once, at the first signal.
    explicit TStationSignals(std::function<void()> onStop);
    ~TStationSignals() override;
    TStationSignals(const TStationSignals &) = delete;
    TStationSignals &operator=(const TStationSignals &) = delete;

private:
    std::function<void()> m_onStop;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace m845
