#include "platform/RegistryStore.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <thread>

#include "tests/platform/HiveFolder.h"

namespace tarvik {
namespace {

using test::ListFolder;
using test::ReadFile;
using test::WriteFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kKey = "Software\\Tarvik\\tarvik\\Settings";
constexpr const char* kHeader = "Windows Registry Editor Version 5.00\n\n";

class RegistryStoreTest : public test::HiveFolderTest {
  protected:
    void SetUp() override {
        HiveFolderTest::SetUp();
        RegistryStore::SetErrorSink([this](const std::string& message) {
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back(message);
        });
    }
    void TearDown() override { RegistryStore::SetErrorSink(nullptr); }

    std::vector<std::string> Messages() {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }

    std::mutex mutex_;
    std::vector<std::string> messages_;
};

unsigned ModeOf(const std::filesystem::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST_F(RegistryStoreTest, HivesGetTheirOwnModesWhateverTheUmask) {
    for (mode_t mask : {000, 077}) {
        SCOPED_TRACE(mask);
        std::filesystem::remove_all(temp_.Path() / "config");
        std::filesystem::remove_all(MachineFile().parent_path());
        mode_t old = ::umask(mask);
        ASSERT_TRUE(User().WriteString("NetworkKeys\\home", "Key", "secret"));
        ASSERT_TRUE(
            RegistryStore::LocalMachine().WriteString("Software\\Tarvik", "INSTInfo", "/o"));
        ::umask(old);
        EXPECT_EQ(ModeOf(UserFile()), 0600u) << "profiles hold network keys";
        EXPECT_EQ(ModeOf(UserFile().parent_path()), 0700u);
        EXPECT_EQ(ModeOf(MachineFile()), 0644u) << "every user reads the machine hive";
        EXPECT_EQ(ModeOf(MachineFile().parent_path()), 0755u);
    }
}

TEST_F(RegistryStoreTest, AnEmptyHiveIsFineAndWritesReplaceItOnlyWhenSomethingChanged) {
    WriteFile(UserFile(), "");
    EXPECT_EQ(User().ReadDword(kKey, "v", 3), 3u);
    EXPECT_FALSE(User().TakeDamageReport().has_value());
    ASSERT_TRUE(User().WriteDword(kKey, "v", 1));
    const ino_t before = StatIdentity(UserFile()).inode;
    ASSERT_TRUE(User().WriteDword(kKey, "V", 1));
    ASSERT_TRUE(User().CreateKey(kKey));
    ASSERT_TRUE(
        User().Modify([](RegHive& hive) { hive.SetValue(kKey, RegValue::MakeDword("v", 1)); }));
    EXPECT_EQ(StatIdentity(UserFile()).inode, before);

    ASSERT_TRUE(User().Modify([](RegHive& hive) {
        hive.SetValue(kKey, RegValue::MakeDword("v", 2));
        hive.SetValue("New", RegValue::MakeString("b", "two"));
    }));
    EXPECT_NE(StatIdentity(UserFile()).inode, before) << "replaced by rename";
    EXPECT_THAT(ListFolder(UserFile().parent_path()), ElementsAre("user.reg", "user.reg.lock"));
    RegistryStore fresh(UserFile(), "HKEY_CURRENT_USER");
    EXPECT_EQ(fresh.ReadDword(kKey, "V", 0), 2u);
    EXPECT_EQ(fresh.ReadString("new", "B", ""), "two");
    EXPECT_EQ(fresh.ReadDword("New", "b", 5), 5u) << "a value of another type gives the default";
    EXPECT_TRUE(fresh.DeleteValue("NEW", "b"));
    EXPECT_FALSE(fresh.DeleteValue("New", "b")) << "false when nothing was deleted";
    EXPECT_TRUE(fresh.DeleteKey("new"));
    EXPECT_FALSE(User().KeyExists("New"));
    EXPECT_TRUE(Messages().empty());
}

struct DamagedHive {
    const char* name;
    std::string text;
    std::vector<std::size_t> skippedLines;
    std::vector<RegValue> kept;  // in key X
};

void PrintTo(const DamagedHive& row, std::ostream* os) {
    *os << row.name;
}

class DamagedHiveTest : public RegistryStoreTest,
                        public ::testing::WithParamInterface<DamagedHive> {};

TEST_P(DamagedHiveTest, KeepsEveryGoodValueAndTheOriginalAndReportsOnce) {
    const DamagedHive& c = GetParam();
    WriteFile(UserFile(), c.text);
    std::vector<RegValue> values = User().EnumerateValues("X");
    EXPECT_EQ(values, c.kept);

    std::optional<RegDamageReport> damage = User().TakeDamageReport();
    ASSERT_TRUE(damage.has_value());
    std::vector<std::size_t> lines;
    for (const RegParseError& skipped : damage->skipped) lines.push_back(skipped.line);
    EXPECT_EQ(lines, c.skippedLines);
    EXPECT_EQ(ReadFile(damage->copy), c.text) << "the original is kept beside the hive";
    EXPECT_EQ(damage->copy.parent_path(), UserFile().parent_path());
    EXPECT_THAT(damage->copy.filename().string(),
                ::testing::MatchesRegex("user\\.reg\\.bad-[0-9]{8}-[0-9]{6}"));
    const std::string sentence = damage->Describe();
    EXPECT_THAT(sentence, HasSubstr(UserFile().string() + " was damaged: line"));
    EXPECT_THAT(sentence, HasSubstr(damage->copy.string()));
    EXPECT_THAT(Messages(), ElementsAre(sentence));

    // The hive was rewritten with what could be read: no second report, here or
    // in another process, and later writes keep the good values.
    EXPECT_FALSE(User().TakeDamageReport().has_value());
    RegistryStore later(UserFile(), "HKEY_CURRENT_USER");
    ASSERT_TRUE(later.WriteDword("Y", "new", 1));
    EXPECT_EQ(later.EnumerateValues("X"), c.kept);
    EXPECT_FALSE(later.TakeDamageReport().has_value());
    EXPECT_EQ(Messages().size(), 1u);
}

std::string KeyX(const std::string& lines) {
    return std::string(kHeader) + "[HKEY_CURRENT_USER\\X]\n" + lines;
}

const DamagedHive kDamagedHives[] = {
    {"LostHeader", "[HKEY_CURRENT_USER\\X]\n\"a\"=dword:1\n", {1}, {RegValue::MakeDword("a", 1)}},
    {"BadKeyLineSkipsItsValues",
     KeyX("\"a\"=dword:1\n[HKEY_CURRENT_USER\\Z\n\"z\"=dword:1\n"),
     {5, 6},
     {RegValue::MakeDword("a", 1)}},
    {"KeysOfAnotherRoot",
     std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\X]\n\"m\"=dword:1\n[HKEY_CURRENT_USER\\X]\n"
                            "\"a\"=hex:01,\\\n  zz\n\"b\"=dword:2\n",
     {3, 4, 6, 7},
     {RegValue::MakeDword("b", 2)}},
};

INSTANTIATE_TEST_SUITE_P(Store, DamagedHiveTest, ::testing::ValuesIn(kDamagedHives),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryStoreTest, DamagedHiveThatCannotBeRepairedIsReadButNeverWritten) {
    const std::string damaged = KeyX("\"a\"=dword:1\nnot a line\n");
    WriteFile(UserFile(), damaged);
    // A folder in place of the lock file: the hive can be neither locked nor repaired.
    std::filesystem::create_directories(UserFile().string() + ".lock");
    EXPECT_EQ(User().ReadDword("X", "a", 8), 1u);
    EXPECT_EQ(User().ReadDword("X", "a", 8), 1u);
    EXPECT_FALSE(User().WriteDword("X", "a", 2));
    EXPECT_EQ(ReadFile(UserFile()), damaged);
    std::optional<RegDamageReport> damage = User().TakeDamageReport();
    ASSERT_TRUE(damage.has_value());
    EXPECT_TRUE(damage->copy.empty());
    std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 2u) << "the damage is reported once, the failed write once";
    EXPECT_THAT(messages[0], HasSubstr("was not repaired"));
    EXPECT_THAT(messages[1], HasSubstr("was not saved"));
}

std::string Nested(std::size_t depth) {
    std::string path = "k";
    for (std::size_t i = 1; i < depth; ++i) path += "\\k";
    return path;
}

TEST_F(RegistryStoreTest, WritesBeyondTheLimitsAreRefused) {
    const struct {
        const char* name;
        std::string key;
        RegValue value;
        const char* problem;
    } cases[] = {
        {"line break in name", kKey, RegValue::MakeDword("two\nlines", 1), "control character"},
        {"control in key", "Bad\tKey", RegValue::MakeDword("v", 1), "control character"},
        {"line break and bad UTF-8", kKey, RegValue::MakeString("v", "a\nb \xFF"), "not UTF-8"},
        {"key name", std::string(kMaxKeyNameLength + 1, 'k'), RegValue::MakeDword("v", 1),
         "longer than 255"},
        {"depth", Nested(kMaxKeyDepth + 1), RegValue::MakeDword("v", 1), "deeper than 512"},
        {"value name", kKey, RegValue::MakeDword(std::string(kMaxValueNameLength + 1, 'n'), 1),
         "longer than 16383"},
        {"value size", kKey,
         RegValue::MakeBinary("v", std::vector<std::uint8_t>(kMaxValueSize + 1)),
         "larger than 1 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(User().WriteValue(c.key, c.value));
        ASSERT_FALSE(Messages().empty());
        EXPECT_THAT(Messages().back(), HasSubstr(c.problem));
    }
    EXPECT_FALSE(std::filesystem::exists(UserFile().parent_path()));

    // Exactly at the limits is allowed, and reads back.
    const std::string deepest =
        Nested(kMaxKeyDepth - 1) + "\\" + std::string(kMaxKeyNameLength, 'K');
    const RegValue largest = RegValue::MakeString(std::string(kMaxValueNameLength, 'n'),
                                                  std::string(kMaxValueSize, 'x'));
    ASSERT_TRUE(User().WriteValue(deepest, largest));
    RegistryStore fresh(UserFile(), "HKEY_CURRENT_USER");
    EXPECT_EQ(fresh.ReadValue(deepest, largest.name), largest);

    // Values within the limits that together would make a file too large to read back.
    std::size_t before = Messages().size();
    EXPECT_FALSE(User().Modify([](RegHive& hive) {
        for (int i = 0; i < 22; ++i) {  // 3 bytes of text per byte: 66 MiB
            hive.SetValue("Big", RegValue::MakeBinary(std::to_string(i),
                                                      std::vector<std::uint8_t>(kMaxValueSize)));
        }
    }));
    ASSERT_EQ(Messages().size(), before + 1);
    EXPECT_THAT(Messages().back(), HasSubstr("that can be read back"));
    EXPECT_EQ(fresh.ReadValue(deepest, largest.name), largest);
}

// The lock is opened without following links; the hive itself may be a link.
TEST_F(RegistryStoreTest, ALinkedLockFileIsRefusedButALinkedHiveIsWrittenThrough) {
    const std::string lock = UserFile().string() + ".lock";
    std::filesystem::create_directories(UserFile().parent_path());
    std::filesystem::create_symlink(temp_.Path() / "victim", lock);
    EXPECT_FALSE(User().WriteDword(kKey, "v", 1));
    EXPECT_FALSE(std::filesystem::exists(temp_.Path() / "victim"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_THAT(Messages()[0], HasSubstr("it is a symbolic link"));
    std::filesystem::remove(lock);

    const std::filesystem::path target = temp_.Path() / "dotfiles/tarvik.reg";
    WriteFile(target, KeyX("\"a\"=dword:1\n"));
    std::filesystem::create_symlink("../../dotfiles/tarvik.reg", UserFile());
    ASSERT_TRUE(User().WriteDword("X", "b", 2));
    EXPECT_THAT(ReadFile(target), HasSubstr("\"a\"=dword:00000001\n\"b\"=dword:00000002\n"));
    EXPECT_EQ(ModeOf(target), 0600u);
    EXPECT_THAT(ListFolder(target.parent_path()), ElementsAre("tarvik.reg"));
    EXPECT_THAT(ListFolder(UserFile().parent_path()), ElementsAre("user.reg", "user.reg.lock"));
}

TEST_F(RegistryStoreTest, StoresOnOneFileSeeOtherWritersAndLoseNothingAcrossThreads) {
    RegistryStore first(UserFile(), "HKEY_CURRENT_USER");
    RegistryStore second(UserFile(), "HKEY_CURRENT_USER");
    EXPECT_EQ(first.ReadDword(kKey, "v", 0), 0u);
    for (std::uint32_t value = 1; value <= 3; ++value) {
        ASSERT_TRUE(second.WriteDword(kKey, "v", value));
        EXPECT_EQ(first.ReadDword(kKey, "v", 0), value);
        // Once the cached file is old, the cache is used until the file changes.
        struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, UserFile().c_str(), times, 0), 0);
        EXPECT_EQ(first.ReadDword(kKey, "v", 0), value);
    }
    constexpr int kWrites = 60;
    auto writeMany = [](RegistryStore& store, const std::string& prefix) {
        for (int i = 0; i < kWrites; ++i) {
            EXPECT_TRUE(store.WriteDword(kKey, prefix + std::to_string(i), i));
            store.ReadDword(kKey, prefix + "0", 0);
        }
    };
    std::thread a(writeMany, std::ref(first), "a");
    std::thread b(writeMany, std::ref(second), "b");
    a.join();
    b.join();
    EXPECT_EQ(RegistryStore(UserFile(), "HKEY_CURRENT_USER").EnumerateValues(kKey).size(),
              2u * kWrites + 1);
}

// A writer killed at any moment leaves a readable hive; the temporary file it may
// leave (and any other stale one) goes at the next write.
TEST_F(RegistryStoreTest, AKilledWriterLeavesAReadableHiveAndNoLastingTemporaryFiles) {
    ASSERT_TRUE(User().WriteBinary(kKey, "padding", std::vector<std::uint8_t>(200000, 7)));
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        RegistryStore store(UserFile(), "HKEY_CURRENT_USER");
        for (std::uint32_t i = 1;; ++i) store.WriteDword(kKey, "counter", i);
    }
    RegistryStore reader(UserFile(), "HKEY_CURRENT_USER");
    while (reader.ReadDword(kKey, "counter", 0) < 5) std::this_thread::yield();
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);

    WriteFile(UserFile().string() + ".tmp-AbC123", "stale");
    WriteFile(UserFile().string() + ".tmp-notes.txt", "not ours");
    // A link of that name is no leftover of ours.
    std::filesystem::create_symlink("user.reg.tmp-notes.txt", UserFile().string() + ".tmp-LnK123");
    RegistryStore after(UserFile(), "HKEY_CURRENT_USER");
    EXPECT_GE(after.ReadDword(kKey, "counter", 0), 5u);
    EXPECT_FALSE(after.TakeDamageReport().has_value());
    ASSERT_TRUE(after.WriteDword(kKey, "counter", 0));
    EXPECT_THAT(
        ListFolder(UserFile().parent_path()),
        ElementsAre("user.reg", "user.reg.lock", "user.reg.tmp-LnK123", "user.reg.tmp-notes.txt"));
}

}  // namespace
}  // namespace tarvik
