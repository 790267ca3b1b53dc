#include "core/LogFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <tuple>

#include "LogCapture.h"

// Counts what this program asks of operator new, to bound what one call allocates.
static std::atomic<std::size_t> g_newBytes{0};
static void* Allocate(std::size_t size) noexcept {
    g_newBytes += size;
    return std::malloc(size == 0 ? 1 : size);
}
// clang-format off
void* operator new(std::size_t n) { if (void* p = Allocate(n)) return p; throw std::bad_alloc(); }
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
// clang-format on

namespace tarvik {
namespace {

class CappedLogFileTest : public ::testing::Test {
  protected:
    TempFolder folder_;
    std::filesystem::path file_ = folder_.Path() / "program.log";
    CappedLogFile log_;
};

// Lines end at "\n" or "\r\n", a last line without an end counts, the newest old
// lines beyond the cap go: the file ends as the rule's model says.
TEST_F(CappedLogFileTest, AppendsAsTheRuleSays) {
    const std::tuple<const char*, std::uint32_t, const char*> rows[] = {
        {"", 3, "x\n"},
        {"a\nb", 3, "a\nb\nx\n"},
        {"a\nb\nc\n", 3, "a\nb\nc\nx\n"},
        {"a\nb\nc\nd\n", 3, "a\nb\nc\nx\n"},
        {"a\r\nb\r\nc\r\nd\r\ne\r\n", 2, "a\nb\nx\n"},
        {"a\nb\n", 0, "x\n"},
        {"\n\na\n", 5, "\n\na\nx\n"},
        {"a\rb\n\r", 5, "a\rb\n\r\nx\n"},
    };
    for (const auto& [before, maxLines, after] : rows) {
        SCOPED_TRACE(::testing::PrintToString(before));
        EXPECT_EQ(ApplyLiteralAppend(before, "x", maxLines), after);
        std::ofstream(file_, std::ios::binary) << before;
        log_.Reset();
        ASSERT_TRUE(log_.AppendLine(file_, "x", maxLines));
        EXPECT_EQ(ReadFileText(file_), after);
    }
}

// A huge old file is read in pieces: little memory, and line ends split across
// pieces read right, when replacing the file and in place (a hard-linked file).
TEST_F(CappedLogFileTest, RewritesAHugeFileInBoundedMemory) {
    std::string before = std::string(65535, 'a') + "\r\n" + std::string(65534, 'b') + "\rc\n";
    before += std::string(4 << 20, 'd') + "\r";
    const std::string after = ApplyLiteralAppend(before, "new", 10);
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "in place" : "replaced");
        std::ofstream(file_, std::ios::binary) << before;
        if (linked) std::filesystem::create_hard_link(file_, folder_.Path() / "link");
        log_.Reset();
        const std::size_t allocatedBefore = g_newBytes;
        ASSERT_TRUE(log_.AppendLine(file_, "new", 10));
        EXPECT_LT(g_newBytes - allocatedBefore, 1u << 20);
        EXPECT_TRUE(ReadFileText(file_) == after);  // 4 MiB: not printed
    }
}

// Only the first line and the first after others' changes rewrite the whole file.
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

TEST_F(CappedLogFileTest, DropsTheLineWhereItCannotWriteTheFileItself) {
    std::ofstream(folder_.Path() / "plain", std::ios::binary) << "";  // fails even for root
    for (const char* folder : {"missing", "plain"}) {  // no folder, or a file in its place
        EXPECT_FALSE(log_.AppendLine(folder_.Path() / folder / "program.log", "x", 10));
    }
    // A link in the log's place is not followed: its target stays as it was.
    const auto target = folder_.Path() / "target";
    std::ofstream(target, std::ios::binary) << "keep\r\n";
    std::filesystem::create_symlink(target, file_);
    EXPECT_FALSE(log_.AppendLine(file_, "x", 10));
    EXPECT_EQ(ReadFileText(target), "keep\r\n");
    EXPECT_TRUE(std::filesystem::is_symlink(file_));
    std::filesystem::remove(file_);
    EXPECT_TRUE(log_.AppendLine(file_, "x", 10));
    EXPECT_EQ(ReadFileText(file_), "x\n");
}

// The file always ends as the rule leaves it, whatever others did in between.
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
                std::ofstream(folder_.Path() / "edited", std::ios::binary) << model;
                std::filesystem::rename(folder_.Path() / "edited", file_);
            } else if (action == 4 && !model.empty()) {
                // One byte changed in place: same size and maybe the same times.
                const std::size_t at = pick(static_cast<int>(model.size()));
                model[at] = model[at] == '\n' ? 'Z' : '\n';
                std::fstream out(file_, std::ios::binary | std::ios::in | std::ios::out);
                out.seekp(static_cast<std::streamoff>(at));
                out.put(model[at]);
            } else if (action == 5) {
                std::filesystem::remove(file_);
                model.clear();
            } else {
                std::string line = "line " + std::to_string(step);
                if (action == 6) line += pieces[pick(7)];  // our own odd line ends
                ASSERT_TRUE(log_.AppendLine(file_, line, maxLines));
                model = ApplyLiteralAppend(model, line, maxLines);
                ASSERT_EQ(ReadFileText(file_), model) << "round " << round << " step " << step;
            }
        }
    }
}

}  // namespace
}  // namespace tarvik
