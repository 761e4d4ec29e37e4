#pragma once

// The provisioning station's decisions: a bench where devices arrive one after another on one
// port. It waits for a device, runs the job once, then waits until that device has gone before
// it takes the next one, so that no device is run twice by accident.

#include <cstdint>
#include <string>

namespace m845 {

enum class TStationStep : std::uint8_t {
    Probe,         // ask whether a device answers, and for its identity
    Pause,         // a few seconds without a word on the line, then PauseOver
    AwaitBootMenu, // until a device shows its boot menu (firmware upgrades): BootMenuShown
    RunJob,        // the device's run, then JobEnded
    Stop,
};

// What the technician is told as the station moves on.
enum class TStationNotice : std::uint8_t {
    None,
    Arrived,     // a device is there: its run starts
    Gone,        // the device of the last run has gone
    Replaced,    // another device answers in its place: its run starts
    AlreadyDone, // the device that just passed is back: it is not run again
};

struct TStationMove
{
    TStationStep step = TStationStep::Stop;
    TStationNotice notice = TStationNotice::None;
};

class TStationMachine final
{
public:
    // byBootMenu: a device counts as arrived when it shows its boot menu, not when it answers.
    explicit TStationMachine(bool byBootMenu = false)
        : m_byBootMenu(byBootMenu)
    {}

    [[nodiscard]] TStationMove Start();
    // identity: the IMEI or MEID it gave; empty when it answered the entry pair only.
    [[nodiscard]] TStationMove ProbeAnswered(const std::string &identity);
    [[nodiscard]] TStationMove ProbeSilent();
    [[nodiscard]] TStationMove PauseOver();
    [[nodiscard]] TStationMove BootMenuShown();
    // identity: as the run learnt it (empty when it never learnt it). inBootLoader: its upgrade
    // failed and it waits in its boot loader, which a probe would only wake into a new menu;
    // the next boot menu is then the next device (or this one powered again on purpose).
    [[nodiscard]] TStationMove JobEnded(bool passed, const std::string &identity,
                                        bool inBootLoader = false);
    // Ctrl+C outside a run; during a run the caller waits for its end.
    [[nodiscard]] TStationMove StopRequested();

    // The device being run or left behind.
    [[nodiscard]] const std::string &Identity() const { return m_identity; }
    [[nodiscard]] int Passed() const { return m_passed; }
    [[nodiscard]] int Failed() const { return m_failed; }
    [[nodiscard]] int ExitCode() const { return m_failed == 0 ? 0 : 1; }

private:
    enum class TState : std::uint8_t { Waiting, Running, Leaving, Stopped };

    [[nodiscard]] TStationMove Wait(TStationNotice notice);
    [[nodiscard]] TStationMove Run(const std::string &identity, TStationNotice notice);

    bool m_byBootMenu = false;
    TState m_state = TState::Waiting;
    std::string m_identity;
    // The last device run, whether it was run at all and how it ended.
    bool m_lastRun = false;
    bool m_lastPassed = false;
    std::string m_lastIdentity;
    int m_passed = 0;
    int m_failed = 0;
};

// The large PASS or FAIL the bench shows, five lines of block letters and one line with the
// device's identity (as the caller words it) and the run's time; no colour, no bell.
[[nodiscard]] std::string StationBanner(bool pass, const std::string &identity, double seconds);

} // namespace m845
