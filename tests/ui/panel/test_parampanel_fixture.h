#pragma once

// A shown panel in English after the window's start-up sequence (texts, then NET checked).

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include "lang/langlist.h"
#include "ui/panel/parampanel.h"

namespace m845::test {

class ParamPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (LangList() == nullptr) {
            const auto dir = std::filesystem::path(::testing::TempDir()) / "m845_parampanel";
            std::filesystem::create_directories(dir);
            InitLanguage((dir / std::string(kLangFileName)).string());
            m_ownsLanguage = true;
        }
        LangList()->IsChinese = false;
        m_panel = std::make_unique<TParamPanel>();
        m_panel->resize(589, 720);
        m_panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_panel.get()));
        m_panel->ApplyTexts();
        m_panel->SetRadioChecked(PanelRadio::NetTran, true);
    }
    void TearDown() override
    {
        m_panel.reset();
        if (m_ownsLanguage)
            ReleaseLanguage();
    }

    template <class T = QWidget> T *W(const char *name) const
    {
        T *widget = m_panel->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // The state the rules set, whatever page is in front.
    [[nodiscard]] bool Shown(const char *name) const { return !W(name)->isHidden(); }
    [[nodiscard]] TParamPanel &P() const { return *m_panel; }

    std::unique_ptr<TParamPanel> m_panel;
    bool m_ownsLanguage = false;
};

} // namespace m845::test
