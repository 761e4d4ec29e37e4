// The progress bar moves when it would show something new, so that a long upload does not set
// it thousands of times.

#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <QProgressBar>

#include "ui/window/devicesession.h"

namespace m845 {
namespace {

TEST(ProgressMoves, OnlyWhenTheBarWouldShowSomethingNew)
{
    QProgressBar bar;
    EXPECT_TRUE(ProgressMoves(bar, 2049, 21)) << "a hidden bar is shown";
    bar.setMaximum(2049);
    bar.setValue(21);
    bar.show();
    // (total, complete, moves) against the bar at 21 of 2049, one percent.
    const std::vector<std::tuple<int, int, bool>> table{
        {2049, 22, false}, {2049, 40, false}, {2049, 41, true},   {2049, 2049, true},
        {2049, 10, true},  {2049, 0, true},   {100, 22, true},    {0, 0, true},
    };
    for (const auto &[total, complete, moves] : table)
        EXPECT_EQ(ProgressMoves(bar, total, complete), moves) << total << " " << complete;
}

} // namespace
} // namespace m845
