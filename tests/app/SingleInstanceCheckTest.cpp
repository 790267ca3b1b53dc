#include "app/SingleInstanceCheck.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "tests/core/LogCapture.h"

namespace tarvik {
namespace {

bool Logged(const LogCapture& log, const std::string& line) {
    const auto messages = log.Messages();
    return std::find(messages.begin(), messages.end(), line) != messages.end();
}

TEST(SingleInstanceCheckTest, FirstCopyProceedsAndSecondQuitsAfterAskingIt) {
    TempFolder temp;
    LogCapture log(temp.Path());
    const auto folder = temp.Path() / "instance";

    CSingleInstance first(folder);
    std::atomic<int> shown{0};
    EXPECT_TRUE(RunSingleInstanceCheck(first, [&shown] { ++shown; }));
    EXPECT_TRUE(
        Logged(log, "App: Info: Previous instance not found, proceeding with initialization."));

    CSingleInstance second(folder);
    EXPECT_FALSE(RunSingleInstanceCheck(second, {}));
    EXPECT_TRUE(Logged(log, "App: Error: Previous instance found, restoing and quitting."));
    // The answer comes before the handler runs; give the listener a moment.
    for (int i = 0; i < 500 && shown.load() == 0; ++i) ::usleep(10000);
    EXPECT_EQ(shown.load(), 1);
}

}  // namespace
}  // namespace tarvik
