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

TYPED_TEST_P(FirmwareWindowContract, MarksStartRightAndEachItemTogglesItsOwn)
{
    IFirmwareWindow &window = this->probe->Window();
    EXPECT_TRUE(window.OverRestart());
    EXPECT_FALSE(window.ShowDataStream());
    this->probe->Click(true);
    EXPECT_FALSE(window.OverRestart());
    EXPECT_FALSE(window.ShowDataStream());
    this->probe->Click(false);
    EXPECT_FALSE(window.OverRestart());
    EXPECT_TRUE(window.ShowDataStream());
}

TYPED_TEST_P(FirmwareWindowContract, DialogShowsTheRequestAndGivesTheAnswer)
{
    const TFileDialogRequest request{
        "Please select firmware file", {"Firmware File(*.bin)", "All File(*.*)"}, "bin", "/tmp"};
    for (const auto &answer :
         {std::optional<std::string>("/tmp/fw.bin"), std::optional<std::string>()}) {
        this->probe->Answer(answer);
        EXPECT_EQ(this->probe->Window().AskFirmwareFile(request), answer);
        const TFileDialogRequest shown = this->probe->Shown();
        EXPECT_EQ(shown.title, request.title);
        EXPECT_EQ(shown.filters, request.filters);
        EXPECT_EQ(shown.defaultSuffix, request.defaultSuffix);
        EXPECT_EQ(shown.folder, request.folder);
    }
}

REGISTER_TYPED_TEST_SUITE_P(FirmwareWindowContract, MarksStartRightAndEachItemTogglesItsOwn,
                            DialogShowsTheRequestAndGivesTheAnswer);

} // namespace m845::test
