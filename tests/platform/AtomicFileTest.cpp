#include "platform/AtomicFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

    // In a folder like /tmp a link of another user is not followed; one of
    // ours, or of the folder's owner, is.
    const std::filesystem::path victim = temp.Path() / "victim";
    test::WriteFile(victim, "precious");
    const std::filesystem::path shared = temp.Path() / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    std::filesystem::create_symlink(victim, shared / "planted");
    std::filesystem::create_symlink(victim, shared / "ours");
    ASSERT_EQ(::lchown((shared / "planted").c_str(), 4242, 4242), 0);
    EXPECT_FALSE(WriteFileAtomically(shared / "planted", "export", 0644, error));
    EXPECT_THAT(error, HasSubstr("belongs to another user"));
    EXPECT_EQ(test::ReadFile(victim), "precious");
    EXPECT_TRUE(WriteFileAtomically(shared / "ours", "saved", 0644, error)) << error;
    EXPECT_EQ(test::ReadFile(victim), "saved");

    const std::filesystem::path file = temp.Path() / "big";
    test::WriteFile(file, std::string(40000, 'x'));
    std::string data;
    int errorNumber = 0;
    EXPECT_FALSE(ReadWholeFile(file, data, errorNumber, nullptr, 39999));
    EXPECT_EQ(errorNumber, EFBIG);
    EXPECT_TRUE(ReadWholeFile(file, data, errorNumber, nullptr, 40000));
    EXPECT_EQ(data.size(), 40000u);
}

// What a crashed save left beside "survey": only old regular files of ours
// named exactly as its temporaries go once the next save succeeds.
TEST(AtomicFileTest, ASuccessfulSaveRemovesOnlyAbandonedTemporariesOfItsTarget) {
    struct Row {
        const char* name;
        char kind;  // f: our file, l: a link, u: another user's file
        bool old, removed;
    } const rows[] = {
        {"survey.tmp-a1B2c3", 'f', true, true},  {"survey.tmp-d4E5f6", 'f', false, false},
        {"survey.tmp-g7H8i9", 'l', true, false}, {"survey.tmp-m3N4o5", 'u', true, false},
        {"other.tmp-p6Q7r8", 'f', true, false},  {"survey.tmp-v1W2x$", 'f', true, false},
        {"survey.tmp-y3Z4a5b", 'f', true, false}};
    test::TempFolder temp;
    const timespec twoMinutesAgo[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
    for (const Row& row : rows) {
        const std::filesystem::path path = temp.Path() / row.name;
        if (row.kind == 'l') std::filesystem::create_symlink("survey", path);
        if (row.kind != 'l') test::WriteFile(path, "partial");
        if (row.kind == 'u') ::lchown(path.c_str(), 4242, 4242);
        if (row.old) ::utimensat(AT_FDCWD, path.c_str(), twoMinutesAgo, AT_SYMLINK_NOFOLLOW);
    }
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(temp.Path() / "survey", "whole", 0600, error)) << error;
    for (const Row& row : rows) {
        struct stat st;
        EXPECT_EQ(::lstat((temp.Path() / row.name).c_str(), &st) != 0, row.removed) << row.name;
    }
}

}  // namespace
}  // namespace tarvik
