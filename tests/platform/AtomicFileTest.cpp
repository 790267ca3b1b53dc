#include "platform/AtomicFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "tests/platform/TempFolder.h"

namespace tarvik {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(AtomicFileTest, FailedReplacementLeavesNoTemporaryFileAndOversizedFilesAreNotRead) {
    test::TempFolder temp;
    const std::filesystem::path target = temp.Path() / "target";
    std::filesystem::create_directories(target / "inside");  // rename over it fails
    std::filesystem::create_symlink("loop", temp.Path() / "loop");
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(target, "data", 0600, error));
    EXPECT_THAT(error, HasSubstr(target.string()));
    EXPECT_FALSE(WriteFileAtomically(temp.Path() / "loop", "data", 0600, error));
    EXPECT_THAT(error, HasSubstr("loop of symbolic links"));
    EXPECT_THAT(test::ListFolder(temp.Path()), ElementsAre("loop", "target"));

    const std::filesystem::path file = temp.Path() / "big";
    test::WriteFile(file, std::string(40000, 'x'));
    std::string data;
    int errorNumber = 0;
    EXPECT_FALSE(ReadWholeFile(file, data, errorNumber, nullptr, 39999));
    EXPECT_EQ(errorNumber, EFBIG);
    EXPECT_TRUE(ReadWholeFile(file, data, errorNumber, nullptr, 40000));
    EXPECT_EQ(data.size(), 40000u);
}

}  // namespace
}  // namespace tarvik
