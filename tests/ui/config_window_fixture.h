#pragma once

// The program's window as main() joins it (session and configuration), with its data folder
// in a temporary folder and every dialog answered by the test.

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include "common/scoped_env.h"
#include "lang/langlist.h"
#include "ui/configcommands.h"
#include "ui/devicesession.h"
#include "ui/dialogs.h"
#include "ui/logpane.h"
#include "ui/mainwindow.h"
#include "ui/parampanel.h"

namespace m845::test {

class ConfigWindowTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_langDir = std::filesystem::temp_directory_path()
                    / ("m845-cfgwin-lang-" + std::to_string(::getpid()));
        std::filesystem::create_directories(s_langDir);
        InitLanguage((s_langDir / std::string(kLangFileName)).string());
    }
    static void TearDownTestSuite()
    {
        ReleaseLanguage();
        std::filesystem::remove_all(s_langDir);
    }
    void SetUp() override
    {
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        LangList()->IsChinese = false;
        TDialogs::Script();
    }
    void TearDown() override
    {
        m_window.reset();
        TDialogs::EndScript();
        LangList()->IsChinese = false;
        std::filesystem::remove_all(m_dir);
    }

    void Start()
    {
        m_window = std::make_unique<TFrm_Main>([this](TFrm_Main &w) {
            auto session = std::make_unique<TDeviceSession>(w);
            auto config = std::make_unique<TConfigCommands>(w, *session);
            m_session = session.get();
            m_config = config.get();
            w.AdoptPart(std::move(session));
            w.AdoptPart(std::move(config));
        });
    }
    void Close()
    {
        m_window->close();
        m_window.reset();
    }
    [[nodiscard]] std::string CfgPath() const { return (m_dir / "M845Cfg.ini").string(); }
    [[nodiscard]] static std::string Read(const std::filesystem::path &path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    [[nodiscard]] QString LogText() const
    {
        m_window->Log().Flush();
        return m_window->Log().Dialog()->toPlainText();
    }
    [[nodiscard]] IPanel &Panel() const { return m_session->Panel(); }

    std::filesystem::path m_dir
        = std::filesystem::temp_directory_path() / ("m845-cfgwin-" + std::to_string(::getpid()));
    ScopedEnv m_dataDir{"M845_DATA_DIR", m_dir.string()};
    std::unique_ptr<TFrm_Main> m_window;
    TDeviceSession *m_session = nullptr;
    TConfigCommands *m_config = nullptr;
    static inline std::filesystem::path s_langDir;
};

} // namespace m845::test
