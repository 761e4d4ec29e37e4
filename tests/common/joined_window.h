#pragma once

// The whole window joined as main() joins it (device session, configuration, the terminal's
// tools, the reopen watch), with its data folder in a temporary folder of its own and every
// dialog pre-answered; started and closed again as often as a test needs.

#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include <QPlainTextEdit>

#include "common/scoped_env.h"
#include "ui/common/dialogs.h"
#include "ui/config/configcommands.h"
#include "ui/link/reopencontrol.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/terminaltools.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845::test {

class JoinedWindow final
{
public:
    explicit JoinedWindow(const std::string &prefix)
        : m_dir(std::filesystem::temp_directory_path()
                / (prefix + "-" + std::to_string(::getpid())))
        , m_dataDir("M845_DATA_DIR", m_dir.string())
    {
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        TDialogs::Script();
    }
    ~JoinedWindow()
    {
        m_window.reset();
        TDialogs::EndScript();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    JoinedWindow(const JoinedWindow &) = delete;
    JoinedWindow &operator=(const JoinedWindow &) = delete;

    void Start()
    {
        m_window = std::make_unique<TFrm_Main>([this](TFrm_Main &w) {
            auto session = std::make_unique<TDeviceSession>(w);
            auto config = std::make_unique<TConfigCommands>(w, *session);
            auto terminal = std::make_unique<TTerminalTools>(w, *config);
            auto reopen = std::make_unique<TReopenControl>(w, *config);
            m_session = session.get();
            m_terminal = terminal.get();
            m_reopen = reopen.get();
            w.AdoptPart(std::move(session));
            w.AdoptPart(std::move(config));
            w.AdoptPart(std::move(terminal));
            w.AdoptPart(std::move(reopen));
        });
        // The pause is the device's business; a short one keeps the tests quick.
        m_session->Sequencer().SetCommandDelay(5);
    }
    // As the technician closes it: the configuration is saved.
    void Close()
    {
        m_window->close();
        m_window.reset();
    }

    [[nodiscard]] TFrm_Main &W() const { return *m_window; }
    [[nodiscard]] TDeviceSession &Session() const { return *m_session; }
    [[nodiscard]] TTerminalTools &Terminal() const { return *m_terminal; }
    [[nodiscard]] TReopenControl &Reopen() const { return *m_reopen; }
    template <typename T> [[nodiscard]] T *Find(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromLatin1(name));
    }
    [[nodiscard]] QString LogText() const
    {
        m_window->Log().Flush();
        return m_window->Log().Dialog()->toPlainText();
    }
    [[nodiscard]] const std::filesystem::path &Dir() const { return m_dir; }
    [[nodiscard]] std::filesystem::path CfgPath() const { return m_dir / "M845Cfg.ini"; }

private:
    std::filesystem::path m_dir;
    ScopedEnv m_dataDir;
    std::unique_ptr<TFrm_Main> m_window;
    TDeviceSession *m_session = nullptr;
    TTerminalTools *m_terminal = nullptr;
    TReopenControl *m_reopen = nullptr;
};

} // namespace m845::test
