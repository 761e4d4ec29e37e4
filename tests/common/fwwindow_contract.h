#pragma once

// Cases that every IFirmwareWindow must pass: run once against the plain fake and once against
// the window's own (menu items and file dialog).
//
// Use, in one test file of the implementation's test program:
//
//     struct TMyTag {};
//     template <> struct m845::test::FirmwareWindowFactory<TMyTag> {
//         static std::unique_ptr<m845::test::IFirmwareWindowProbe> Make();
//     };
//     INSTANTIATE_TYPED_TEST_SUITE_P(Mine, FirmwareWindowContract, ::testing::Types<TMyTag>);

#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "core/firmwarewindow.h"

namespace m845::test {

// One fresh implementation per case, with the hands a test needs on it.
class IFirmwareWindowProbe
{
public:
    virtual ~IFirmwareWindowProbe() = default;
    virtual IFirmwareWindow &Window() = 0;
    // Clicks the option's menu item (true: restart after upgrade, false: show the data stream).
    virtual void Click(bool overRestart) = 0;
    // What the next dialog answers: a path, or a cancel.
    virtual void Answer(std::optional<std::string> path) = 0;
    // The last dialog as it was shown; the selected filter is the one first in the list.
    [[nodiscard]] virtual TFileDialogRequest Shown() const = 0;
};

template <class T> struct FirmwareWindowFactory
{
    static std::unique_ptr<IFirmwareWindowProbe> Make();
};

template <class T> class FirmwareWindowContract : public testing::Test
{
protected:
    std::unique_ptr<IFirmwareWindowProbe> probe = FirmwareWindowFactory<T>::Make();
};

TYPED_TEST_SUITE_P(FirmwareWindowContract);

TYPED_TEST_P(FirmwareWindowContract, RestartStartsTickedAndTheTraceNot)
{
    EXPECT_TRUE(this->probe->Window().OverRestart());
    EXPECT_FALSE(this->probe->Window().ShowDataStream());
}

TYPED_TEST_P(FirmwareWindowContract, EachItemTogglesItsOwnMarkOnly)
{
    IFirmwareWindow &window = this->probe->Window();
    for (const bool restartItem : {true, false}) {
        SCOPED_TRACE(restartItem ? "restart item" : "stream item");
        const bool restart = window.OverRestart();
        const bool stream = window.ShowDataStream();
        this->probe->Click(restartItem);
        EXPECT_EQ(window.OverRestart(), restartItem ? !restart : restart);
        EXPECT_EQ(window.ShowDataStream(), restartItem ? stream : !stream);
        this->probe->Click(restartItem);
        EXPECT_EQ(window.OverRestart(), restart);
        EXPECT_EQ(window.ShowDataStream(), stream);
    }
}

TYPED_TEST_P(FirmwareWindowContract, DialogShowsTheRequestAndGivesTheAnswer)
{
    const TFileDialogRequest request{"Please select firmware file",
                                     {"Firmware File(*.bin)", "All File(*.*)"},
                                     "bin",
                                     testing::TempDir()};
    for (const std::optional<std::string> &answer :
         {std::optional<std::string>(testing::TempDir() + "fw.bin"),
          std::optional<std::string>()}) {
        this->probe->Answer(answer);
        EXPECT_EQ(this->probe->Window().AskFirmwareFile(request), answer);
        const TFileDialogRequest shown = this->probe->Shown();
        EXPECT_EQ(shown.title, request.title);
        EXPECT_EQ(shown.filters, request.filters);
        EXPECT_EQ(shown.defaultSuffix, request.defaultSuffix);
        // Folders compare without a trailing separator.
        auto trimmed = [](std::string folder) {
            while (folder.size() > 1 && folder.back() == '/')
                folder.pop_back();
            return folder;
        };
        EXPECT_EQ(trimmed(shown.folder), trimmed(request.folder));
    }
}

REGISTER_TYPED_TEST_SUITE_P(FirmwareWindowContract, RestartStartsTickedAndTheTraceNot,
                            EachItemTogglesItsOwnMarkOnly, DialogShowsTheRequestAndGivesTheAnswer);

} // namespace m845::test
