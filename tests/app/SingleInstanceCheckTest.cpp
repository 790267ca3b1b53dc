#include "app/SingleInstanceCheck.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>

#include "../adapter/AdapterTestSupport.h"

namespace tarvik {
namespace {

// The program test sees the second copy exit; here the first is asked to show.
TEST(SingleInstanceCheckTest, FirstCopyProceedsAndSecondQuitsAfterAskingIt) {
    TempFolder temp;
    LogCapture log(temp.Path());
    CSingleInstance first(temp.Path() / "instance");
    std::atomic<int> shown{0};
    EXPECT_TRUE(RunSingleInstanceCheck(first, [&shown] { ++shown; }));
    CSingleInstance second(temp.Path() / "instance");
    EXPECT_FALSE(RunSingleInstanceCheck(second, {}));
    const auto lines = log.Messages();
    EXPECT_TRUE(testing::Contains(
        lines, "App: Info: Previous instance not found, proceeding with initialization."));
    EXPECT_TRUE(
        testing::Contains(lines, "App: Error: Previous instance found, restoing and quitting."));
    // The answer comes before the handler runs; give the listener a moment.
    for (int i = 0; i < 500 && shown.load() == 0; ++i) ::usleep(10000);
    EXPECT_EQ(shown.load(), 1);
}

}  // namespace
}  // namespace tarvik
