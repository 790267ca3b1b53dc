#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "tests/platform/TempFolder.h"

namespace tarvik {
namespace {

std::vector<std::string> FolderEntries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFileTest, FailedReplacementLeavesNoTemporaryFile) {
    test::TempFolder temp;
    std::filesystem::path target = temp.Path() / "target";
    std::filesystem::create_directories(target / "inside");  // rename over it fails
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(target, "data", 0600, error));
    EXPECT_THAT(error, ::testing::HasSubstr(target.string()));
    EXPECT_THAT(FolderEntries(temp.Path()), ::testing::ElementsAre("target"));
}

TEST(AtomicFileTest, CreatesMissingFoldersAndReportsTheIdentity) {
    test::TempFolder temp;
    std::filesystem::path file = temp.Path() / "a/b/file";
    std::string error;
    FileIdentity written;
    ASSERT_TRUE(WriteFileAtomically(file, "12345", 0640, error, &written)) << error;
    EXPECT_EQ(written, StatIdentity(file));
    EXPECT_EQ(written.size, 5);
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
}

TEST(AtomicFileTest, RefusesToReadOversizedFiles) {
    test::TempFolder temp;
    std::filesystem::path file = temp.Path() / "big";
    test::WriteFile(file, std::string(40000, 'x'));
    std::string data;
    int error = 0;
    EXPECT_FALSE(ReadWholeFile(file, data, error, nullptr, 39999));
    EXPECT_EQ(error, EFBIG);
    EXPECT_TRUE(ReadWholeFile(file, data, error, nullptr, 40000));
    EXPECT_EQ(data.size(), 40000u);
    EXPECT_FALSE(ReadWholeFile(temp.Path() / "missing", data, error));
    EXPECT_EQ(error, ENOENT);
}

TEST(AtomicFileTest, LockExcludesOtherDescriptors) {
    test::TempFolder temp;
    std::filesystem::path lockFile = temp.Path() / "sub/x.lock";
    int other = -1;
    {
        FileLock lock;
        std::string error;
        ASSERT_TRUE(lock.Acquire(lockFile, error)) << error;
        other = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(other, 0);
        EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(errno, EWOULDBLOCK);
    }
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << "released when the lock object ends";
    ::close(other);
}

}  // namespace
}  // namespace tarvik
