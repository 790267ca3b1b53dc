#include "core/LogFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "TempFolder.h"

namespace tarvik {
namespace {

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

TEST(SplitLogLines, ReadsLinesAsAReaderDoes) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitLogLines(""), Lines{});
    EXPECT_EQ(SplitLogLines("a\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(SplitLogLines("a\nb"), (Lines{"a", "b"}));        // no final line end
    EXPECT_EQ(SplitLogLines("\n\na\n"), (Lines{"", "", "a"}));  // empty lines count
    EXPECT_EQ(SplitLogLines("a\r\nb\r\n"), (Lines{"a", "b"}));  // CR LF from elsewhere
    EXPECT_EQ(SplitLogLines("a\rb\n\r"), (Lines{"a\rb", "\r"}));
}

TEST(ApplyLiteralAppend, KeepsTheOldestLinesAndReplacesTheNewest) {
    EXPECT_EQ(ApplyLiteralAppend("", "x", 3), "x\n");
    EXPECT_EQ(ApplyLiteralAppend("a\nb", "x", 3), "a\nb\nx\n");
    EXPECT_EQ(ApplyLiteralAppend("a\nb\nc\n", "x", 3), "a\nb\nc\nx\n");
    EXPECT_EQ(ApplyLiteralAppend("a\nb\nc\nd\n", "x", 3), "a\nb\nc\nx\n");
    EXPECT_EQ(ApplyLiteralAppend("a\r\nb\r\nc\r\nd\r\ne\r\n", "x", 2), "a\nb\nx\n");
    EXPECT_EQ(ApplyLiteralAppend("a\nb\n", "x", 0), "x\n");
}

class CappedLogFileTest : public ::testing::Test {
  protected:
    TempFolder folder_;
    std::filesystem::path file_ = folder_.Path() / "program.log";
    CappedLogFile log_;
};

TEST_F(CappedLogFileTest, TwelveLinesWithCapTenKeepTheFirstTenAndTheTwelfth) {
    std::string expected;
    for (int i = 1; i <= 12; ++i) {
        const std::string line = "line " + std::to_string(i);
        ASSERT_TRUE(log_.AppendLine(file_, line, 10));
        if (i != 11) expected += line + "\n";
    }
    EXPECT_EQ(ReadFile(file_), expected);
}

// A line costs the same whatever the file's length: only the first line and
// the first after someone else's change read and rewrite the whole file.
TEST_F(CappedLogFileTest, RewritesTheWholeFileOnlyAfterOutsideChanges) {
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(log_.AppendLine(file_, "line", 20));
    EXPECT_EQ(log_.WholeRewrites(), 1u);
    std::ofstream(file_, std::ios::app) << "from elsewhere\n";
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(log_.AppendLine(file_, "line", 20));
    EXPECT_EQ(log_.WholeRewrites(), 2u);
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(log_.AppendLine(file_, "line", 30));  // raised cap
    EXPECT_EQ(log_.WholeRewrites(), 2u);
    ASSERT_TRUE(log_.AppendLine(file_, "line", 5));  // lowered below the length
    EXPECT_EQ(log_.WholeRewrites(), 3u);
}

// Same size, same time stamp (within its granularity), same last line: only
// the change notification tells.
TEST_F(CappedLogFileTest, NoticesASameSizeChangeInTheMiddleOfTheFile) {
    std::string model;
    for (int round = 0; round < 20; ++round) {
        for (const char* line : {"first", "second", "third"}) {
            ASSERT_TRUE(log_.AppendLine(file_, line, 4));
            model = ApplyLiteralAppend(model, line, 4);
        }
        // "first" -> "fi\nst": one line more, not one byte more.
        const std::size_t at = model.find("first") + 2;
        model[at] = '\n';
        std::fstream edit(file_, std::ios::binary | std::ios::in | std::ios::out);
        edit.seekp(static_cast<std::streamoff>(at));
        edit.put('\n');
        edit.close();
        ASSERT_TRUE(log_.AppendLine(file_, "after", 4));
        model = ApplyLiteralAppend(model, "after", 4);
        ASSERT_EQ(ReadFile(file_), model) << "round " << round;
        model.clear();
        std::filesystem::remove(file_);
    }
}

TEST_F(CappedLogFileTest, AMultiLineMessageCountsAsSeveralLines) {
    std::string model;
    const char* lines[] = {"a", "b\nc", "d\ne\nf", "g", "h\ni", "j"};
    for (const char* line : lines) {
        ASSERT_TRUE(log_.AppendLine(file_, line, 3));
        model = ApplyLiteralAppend(model, line, 3);
        ASSERT_EQ(ReadFile(file_), model) << line;
    }
}

TEST_F(CappedLogFileTest, AFolderThatDoesNotExistDropsTheLine) {
    EXPECT_FALSE(log_.AppendLine(folder_.Path() / "missing" / "program.log", "x", 10));
    // A file in the folder's place: fails even for a privileged user.
    WriteFile(folder_.Path() / "plain", "");
    EXPECT_FALSE(log_.AppendLine(folder_.Path() / "plain" / "program.log", "x", 10));
    EXPECT_TRUE(log_.AppendLine(file_, "x", 10));
    EXPECT_EQ(ReadFile(file_), "x\n");
}

// The file must always end as the read-all-and-rewrite rule leaves it, whatever
// other writers did in between and however the cap changes.
TEST_F(CappedLogFileTest, MatchesTheRuleWhileOthersEditTheFile) {
    std::mt19937 random(20261206);
    const auto pick = [&random](int n) { return static_cast<int>(random() % n); };
    const std::string pieces[] = {"x", "", "\r", "\n", "\r\n", "long text %s", "\n\n"};

    for (int round = 0; round < 25; ++round) {
        std::filesystem::remove(file_);
        log_.Reset();
        std::string model;
        std::uint32_t maxLines = 1 + pick(8);
        for (int step = 0; step < 120; ++step) {
            const int action = pick(20);
            if (action == 0) {
                maxLines = pick(10);  // the setting changes
            } else if (action == 1) {
                std::string extra;  // another writer appends, maybe without a line end
                for (int i = pick(4); i >= 0; --i) extra += pieces[pick(7)];
                std::ofstream(file_, std::ios::binary | std::ios::app) << extra;
                model += extra;
            } else if (action == 2 && !model.empty()) {
                model.resize(pick(static_cast<int>(model.size())));  // truncated by someone
                ASSERT_EQ(::truncate(file_.c_str(), static_cast<off_t>(model.size())), 0);
            } else if (action == 3) {
                model = "replaced\r\nby an editor\r\n";  // a new file in its place
                const auto temp = folder_.Path() / "edited";
                WriteFile(temp, model);
                std::filesystem::rename(temp, file_);
            } else if (action == 4 && !model.empty()) {
                // Same size, last bytes changed in place.
                model.back() = model.back() == '\n' ? 'Z' : '\n';
                std::fstream out(file_, std::ios::binary | std::ios::in | std::ios::out);
                out.seekp(static_cast<std::streamoff>(model.size() - 1));
                out.put(model.back());
            } else if (action == 5) {
                std::filesystem::remove(file_);
                model.clear();
            } else {
                std::string line = "line " + std::to_string(step);
                if (action == 6) line += pieces[pick(7)];  // our own odd line ends
                ASSERT_TRUE(log_.AppendLine(file_, line, maxLines));
                model = ApplyLiteralAppend(model, line, maxLines);
                ASSERT_EQ(ReadFile(file_), model) << "round " << round << " step " << step;
            }
        }
    }
}

}  // namespace
}  // namespace tarvik
