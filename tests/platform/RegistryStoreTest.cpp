#include "platform/RegistryStore.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "tests/platform/TempFolder.h"

namespace tarvik {
namespace {

using test::ReadFile;
using test::WriteFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kKey = "Software\\Tarvik\\tarvik\\Settings";

class RegistryStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", (temp_.Path() / "config").c_str(), 1);
        ::setenv("TARVIK_MACHINE_HIVE", MachineFile().c_str(), 1);
        RegistryStore::ResetDefaultHives();
        RegistryStore::SetErrorSink([this](const std::string& message) {
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back(message);
        });
    }
    void TearDown() override { RegistryStore::SetErrorSink(nullptr); }

    std::filesystem::path UserFile() const { return temp_.Path() / "config/tarvik/user.reg"; }
    std::filesystem::path MachineFile() const { return temp_.Path() / "machine/machine.reg"; }

    std::vector<std::string> Messages() {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }

    // Makes a cached copy of the file count as old enough to be trusted, so that
    // a test sees the change detection rather than the re-read of young files.
    static void AgeFile(const std::filesystem::path& file) {
        struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    }

    test::TempFolder temp_;
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

TEST_F(RegistryStoreTest, DefaultHivesFollowTheEnvironment) {
    EXPECT_EQ(RegistryStore::CurrentUser().FilePath(), UserFile());
    EXPECT_EQ(RegistryStore::CurrentUser().RootName(), "HKEY_CURRENT_USER");
    EXPECT_EQ(RegistryStore::LocalMachine().FilePath(), MachineFile());
    EXPECT_EQ(RegistryStore::LocalMachine().RootName(), "HKEY_LOCAL_MACHINE");

    ASSERT_TRUE(RegistryStore::CurrentUser().WriteDword(kKey, "SoftRefreshInterval", 10));
    ASSERT_TRUE(RegistryStore::LocalMachine().WriteString("Software\\Tarvik", "INSTInfo", "/opt"));
    EXPECT_EQ(ReadFile(UserFile()),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Tarvik]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Tarvik\\tarvik]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Tarvik\\tarvik\\Settings]\n"
              "\"SoftRefreshInterval\"=dword:0000000a\n\n");
    EXPECT_THAT(ReadFile(MachineFile()),
                HasSubstr("[HKEY_LOCAL_MACHINE\\Software\\Tarvik]\n\"INSTInfo\"=\"/opt\"\n"));

    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("TARVIK_MACHINE_HIVE");
    ::setenv("HOME", temp_.Path().c_str(), 1);
    EXPECT_EQ(RegistryStore::DefaultUserHivePath(), temp_.Path() / ".config/tarvik/user.reg");
    EXPECT_EQ(RegistryStore::DefaultMachineHivePath(), "/etc/tarvik/machine.reg");
}

TEST_F(RegistryStoreTest, EveryValueTypeSurvivesARoundTrip) {
    RegistryStore& store = RegistryStore::CurrentUser();
    RegValue expand;
    expand.name = "Path";
    expand.type = RegType::ExpandString;
    expand.bytes = {'%', 0, 'X', 0, '%', 0, 0, 0};
    RegValue qword;
    qword.name = "Big";
    qword.type = static_cast<RegType>(0x0b);
    qword.bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<std::uint8_t> longBlob(100);
    for (std::size_t i = 0; i < longBlob.size(); ++i)
        longBlob[i] = static_cast<std::uint8_t>(i * 7);

    ASSERT_TRUE(store.WriteDword(kKey, "Zero", 0));
    ASSERT_TRUE(store.WriteDword(kKey, "Max", 0xFFFFFFFF));
    ASSERT_TRUE(store.WriteString(kKey, "", "default value"));
    ASSERT_TRUE(store.WriteString(kKey, "Escapes", "C:\\dir\\ \"quoted\" \\\" end\\"));
    ASSERT_TRUE(store.WriteString(kKey, "Empty", ""));
    ASSERT_TRUE(store.WriteString(kKey, "Lines", "one\ntwo\r\nthree"));
    ASSERT_TRUE(store.WriteString(kKey, "Unicode",
                                  "Gr\xC3\xBC\xC3\x9F"
                                  "e \xF0\x9F\x93\xB6"));
    ASSERT_TRUE(store.WriteString(kKey, "odd \"name\" = [x] \\ @", "v"));
    ASSERT_TRUE(store.WriteString(kKey, "@", "a value named @, not the default"));
    ASSERT_TRUE(store.WriteBinary(kKey, "Blob", {0x00, 0x01, 0xFF}));
    ASSERT_TRUE(store.WriteBinary(kKey, "NoBytes", {}));
    ASSERT_TRUE(store.WriteBinary(kKey, "Long", longBlob));
    ASSERT_TRUE(store.WriteValue(kKey, expand));
    ASSERT_TRUE(store.WriteValue(kKey, qword));

    std::string text = ReadFile(UserFile());
    EXPECT_THAT(text, HasSubstr("\"Max\"=dword:ffffffff\n"));
    EXPECT_THAT(text, HasSubstr("@=\"default value\"\n"));
    EXPECT_THAT(text, HasSubstr("\"Escapes\"=\"C:\\\\dir\\\\ \\\"quoted\\\" \\\\\\\" end\\\\\"\n"));
    EXPECT_THAT(text, HasSubstr("\"Blob\"=hex:00,01,ff\n"));
    EXPECT_THAT(text, HasSubstr("\"NoBytes\"=hex:\n"));
    EXPECT_THAT(text, HasSubstr("\"Path\"=hex(2):25,00,58,00,25,00,00,00\n"));
    EXPECT_THAT(text, HasSubstr("\"Big\"=hex(b):01,02,03,04,05,06,07,08\n"));
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        EXPECT_LE(end - start, 80u) << "long line in the hive file";
    }

    RegistryStore other(UserFile(), "HKEY_CURRENT_USER");
    EXPECT_EQ(other.ReadDword(kKey, "Zero", 5), 0u);
    EXPECT_EQ(other.ReadDword(kKey, "Max", 5), 0xFFFFFFFFu);
    EXPECT_EQ(other.ReadString(kKey, "", "x"), "default value");
    EXPECT_EQ(other.ReadString(kKey, "Escapes", "x"), "C:\\dir\\ \"quoted\" \\\" end\\");
    EXPECT_EQ(other.ReadString(kKey, "Empty", "x"), "");
    EXPECT_EQ(other.ReadString(kKey, "Lines", "x"), "one\ntwo\r\nthree");
    EXPECT_EQ(other.ReadString(kKey, "Unicode", "x"),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xF0\x9F\x93\xB6");
    EXPECT_EQ(other.ReadString(kKey, "odd \"name\" = [x] \\ @", "x"), "v");
    EXPECT_EQ(other.ReadString(kKey, "@", "x"), "a value named @, not the default");
    EXPECT_EQ(other.ReadBinary(kKey, "Blob"), (std::vector<std::uint8_t>{0x00, 0x01, 0xFF}));
    EXPECT_EQ(other.ReadBinary(kKey, "NoBytes"), std::vector<std::uint8_t>{});
    EXPECT_EQ(other.ReadBinary(kKey, "Long"), longBlob);
    EXPECT_EQ(other.ReadValue(kKey, "Path"), expand);
    EXPECT_EQ(other.ReadValue(kKey, "Big"), qword);
    EXPECT_EQ(other.Snapshot(), store.Snapshot());
    EXPECT_TRUE(Messages().empty());
}

TEST_F(RegistryStoreTest, MissingValuesAndOtherTypesGiveTheDefault) {
    RegistryStore& store = RegistryStore::CurrentUser();
    EXPECT_EQ(store.ReadDword(kKey, "Nothing", 42), 42u);
    EXPECT_EQ(store.ReadString(kKey, "Nothing", "dflt"), "dflt");
    EXPECT_FALSE(store.ReadBinary(kKey, "Nothing").has_value());
    EXPECT_FALSE(store.ReadValue("No\\Such\\Key", "x").has_value());
    EXPECT_FALSE(std::filesystem::exists(UserFile())) << "reads never create the hive";

    ASSERT_TRUE(store.WriteString(kKey, "Text", "12"));
    EXPECT_EQ(store.ReadDword(kKey, "Text", 7), 7u);
    EXPECT_FALSE(store.ReadBinary(kKey, "Text").has_value());
    ASSERT_TRUE(store.WriteDword(kKey, "Number", 3));
    EXPECT_EQ(store.ReadString(kKey, "Number", "d"), "d");
}

TEST_F(RegistryStoreTest, KeyAndValueNamesIgnoreCase) {
    RegistryStore& store = RegistryStore::CurrentUser();
    ASSERT_TRUE(store.WriteDword("Software\\Tarvik", "Column Count", 30));
    EXPECT_EQ(store.ReadDword("SOFTWARE\\tarvik", "column count", 0), 30u);
    ASSERT_TRUE(store.WriteDword("software\\TARVIK", "COLUMN COUNT", 31));
    EXPECT_THAT(store.EnumerateValues("Software\\Tarvik"),
                ElementsAre(RegValue::MakeDword("Column Count", 31)))
        << "a value keeps the spelling of its name";
    EXPECT_TRUE(store.KeyExists("\\software\\\\tarvik\\"));
    EXPECT_THAT(store.EnumerateSubkeys(""), ElementsAre("Software"));
    EXPECT_THAT(ReadFile(UserFile()), HasSubstr("[HKEY_CURRENT_USER\\Software\\Tarvik]\n"))
        << "a key keeps the spelling it was created with";
}

TEST_F(RegistryStoreTest, EnumerationListsSubkeysSortedAndValuesInOrder) {
    RegistryStore& store = RegistryStore::CurrentUser();
    ASSERT_TRUE(store.WriteDword("NetworkKeys\\zeta", "b", 1));
    ASSERT_TRUE(store.WriteDword("NetworkKeys\\Alpha", "z", 1));
    ASSERT_TRUE(store.WriteDword("NetworkKeys\\Alpha", "a", 2));
    ASSERT_TRUE(store.CreateKey("NetworkKeys\\beta\\deeper"));
    ASSERT_TRUE(store.CreateKey("NetworkKeysX"));

    EXPECT_THAT(store.EnumerateSubkeys("NetworkKeys"), ElementsAre("Alpha", "beta", "zeta"));
    EXPECT_THAT(store.EnumerateSubkeys("NetworkKeys\\beta"), ElementsAre("deeper"));
    EXPECT_THAT(store.EnumerateSubkeys(""), ElementsAre("NetworkKeys", "NetworkKeysX"));
    EXPECT_TRUE(store.EnumerateSubkeys("Missing").empty());
    EXPECT_THAT(store.EnumerateValues("NetworkKeys\\Alpha"),
                ElementsAre(RegValue::MakeDword("z", 1), RegValue::MakeDword("a", 2)));
    EXPECT_TRUE(store.KeyExists("NetworkKeys\\beta"));
    EXPECT_TRUE(store.KeyExists(""));
    EXPECT_FALSE(store.KeyExists("NetworkKeys\\gamma"));
}

TEST_F(RegistryStoreTest, DeletesValuesAndWholeKeys) {
    RegistryStore& store = RegistryStore::CurrentUser();
    ASSERT_TRUE(store.WriteDword("A\\B", "v", 1));
    ASSERT_TRUE(store.WriteDword("A\\B", "w", 2));
    ASSERT_TRUE(store.WriteDword("A\\B\\C", "x", 3));
    ASSERT_TRUE(store.WriteDword("A\\Bee", "y", 4));

    EXPECT_TRUE(store.DeleteValue("a\\b", "V"));
    EXPECT_FALSE(store.DeleteValue("A\\B", "v"));
    EXPECT_FALSE(store.DeleteValue("A\\Missing", "v"));
    EXPECT_EQ(store.ReadDword("A\\B", "v", 9), 9u);
    EXPECT_EQ(store.ReadDword("A\\B", "w", 9), 2u);

    EXPECT_TRUE(store.DeleteKey("A\\B"));
    EXPECT_FALSE(store.DeleteKey("A\\B"));
    EXPECT_FALSE(store.KeyExists("A\\B\\C"));
    EXPECT_EQ(store.ReadDword("A\\Bee", "y", 9), 4u) << "a sibling sharing the prefix stays";
    RegistryStore fresh(UserFile(), "HKEY_CURRENT_USER");
    EXPECT_THAT(fresh.EnumerateSubkeys("A"), ElementsAre("Bee"));
}

TEST_F(RegistryStoreTest, ReplacesTheFileAtomicallyWithPrivateMode) {
    RegistryStore& store = RegistryStore::CurrentUser();
    ASSERT_TRUE(store.WriteString("NetworkKeys\\home", "Key", "secret passphrase"));
    ASSERT_TRUE(store.WriteDword("NetworkKeys\\home", "Priority", 1));
    struct stat st;
    ASSERT_EQ(::stat(UserFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ino_t before = st.st_ino;

    ASSERT_TRUE(store.WriteDword("NetworkKeys\\home", "Priority", 2));
    ASSERT_EQ(::stat(UserFile().c_str(), &st), 0);
    EXPECT_NE(st.st_ino, before) << "replaced by rename, not rewritten in place";
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(UserFile().parent_path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_THAT(names, ElementsAre("user.reg", "user.reg.lock"));
}

TEST_F(RegistryStoreTest, IdenticalWritesLeaveTheFileAlone) {
    RegistryStore& store = RegistryStore::CurrentUser();
    ASSERT_TRUE(store.WriteDword(kKey, "v", 1));
    struct stat before, after;
    ASSERT_EQ(::stat(UserFile().c_str(), &before), 0);
    ASSERT_TRUE(store.WriteDword(kKey, "V", 1));
    ASSERT_TRUE(store.CreateKey(kKey));
    ASSERT_EQ(::stat(UserFile().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(RegistryStoreTest, DamagedFileIsSetAsideAndDefaultsAreUsed) {
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\X]\n\"v\"=dword:zz\n";
    WriteFile(UserFile(), damaged);
    RegistryStore& store = RegistryStore::CurrentUser();

    EXPECT_EQ(store.ReadDword("X", "v", 77), 77u);
    EXPECT_EQ(store.ReadDword("X", "v", 77), 77u);
    std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], HasSubstr("The registry file " + UserFile().string()));
    EXPECT_THAT(messages[0], HasSubstr("line 4"));
    EXPECT_EQ(messages[0].back(), '.');

    std::vector<std::filesystem::path> aside;
    for (const auto& entry : std::filesystem::directory_iterator(UserFile().parent_path())) {
        if (entry.path().filename().string().rfind("user.reg.bad-", 0) == 0) {
            aside.push_back(entry.path());
        }
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_THAT(aside[0].filename().string(),
                ::testing::MatchesRegex("user\\.reg\\.bad-[0-9]{8}-[0-9]{6}"));
    EXPECT_THAT(messages[0], HasSubstr(aside[0].string()));

    ASSERT_TRUE(store.WriteDword("X", "v", 5));
    EXPECT_EQ(ReadFile(aside[0]), damaged) << "the damaged file is kept as it was";
    EXPECT_EQ(store.ReadDword("X", "v", 77), 5u);

    // A second damaged file within the same second gets its own name.
    WriteFile(UserFile(), "garbage");
    EXPECT_TRUE(store.WriteDword("X", "w", 6));
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(UserFile().parent_path())) {
        if (entry.path().filename().string().rfind("user.reg.bad-", 0) == 0) ++count;
    }
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(store.ReadDword("X", "v", 77), 77u);
    EXPECT_EQ(store.ReadDword("X", "w", 77), 6u);
}

TEST_F(RegistryStoreTest, KeysOfAnotherRootMakeTheHiveDamaged) {
    WriteFile(MachineFile(),
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\X]\n\"v\"=dword:1\n");
    EXPECT_EQ(RegistryStore::LocalMachine().ReadDword("X", "v", 2), 2u);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_THAT(Messages()[0], HasSubstr("not under HKEY_LOCAL_MACHINE"));
}

TEST_F(RegistryStoreTest, UnreadableHiveIsNeverOverwritten) {
    std::filesystem::create_directories(UserFile());  // a folder where the file should be
    RegistryStore& store = RegistryStore::CurrentUser();
    EXPECT_EQ(store.ReadDword(kKey, "v", 3), 3u);
    EXPECT_FALSE(store.WriteDword(kKey, "v", 4));
    EXPECT_TRUE(std::filesystem::is_directory(UserFile()));
    std::vector<std::string> messages = Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_THAT(messages[0], HasSubstr("could not be read"));
    EXPECT_THAT(messages.back(), HasSubstr("was not saved"));
}

TEST_F(RegistryStoreTest, InvalidNamesAreRefused) {
    RegistryStore& store = RegistryStore::CurrentUser();
    EXPECT_FALSE(store.WriteDword(kKey, "two\nlines", 1));
    EXPECT_FALSE(store.WriteDword("Bad\tKey", "v", 1));
    EXPECT_FALSE(store.CreateKey("Bad\x01Key"));
    EXPECT_FALSE(std::filesystem::exists(UserFile()));
    EXPECT_EQ(Messages().size(), 3u);
}

TEST_F(RegistryStoreTest, ReadsSeeChangesFromOtherWriters) {
    RegistryStore reader(UserFile(), "HKEY_CURRENT_USER");
    RegistryStore writer(UserFile(), "HKEY_CURRENT_USER");
    EXPECT_EQ(reader.ReadDword(kKey, "v", 0), 0u);
    ASSERT_TRUE(writer.WriteDword(kKey, "v", 1));
    EXPECT_EQ(reader.ReadDword(kKey, "v", 0), 1u);

    // Once the cached file is old, the cache is used until the file changes.
    AgeFile(UserFile());
    EXPECT_EQ(reader.ReadDword(kKey, "v", 0), 1u);
    ASSERT_TRUE(writer.WriteDword(kKey, "v", 2));
    EXPECT_EQ(reader.ReadDword(kKey, "v", 0), 2u);
    AgeFile(UserFile());
    EXPECT_EQ(reader.ReadDword(kKey, "v", 0), 2u);
    ASSERT_TRUE(writer.DeleteKey(kKey));
    EXPECT_FALSE(reader.KeyExists(kKey));
}

TEST_F(RegistryStoreTest, TwoStoresOnOneFileFromTwoThreadsLoseNothing) {
    constexpr int kWrites = 60;
    RegistryStore first(UserFile(), "HKEY_CURRENT_USER");
    RegistryStore second(UserFile(), "HKEY_CURRENT_USER");
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
    RegistryStore check(UserFile(), "HKEY_CURRENT_USER");
    EXPECT_EQ(check.EnumerateValues(kKey).size(), 2u * kWrites);
}

TEST_F(RegistryStoreTest, TwoProcessesWritingTheSameHiveLoseNothing) {
    constexpr int kWrites = 40;
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryStore store(UserFile(), "HKEY_CURRENT_USER");
            bool ok = true;
            for (int i = 0; i < kWrites; ++i) {
                ok = store.WriteDword(kKey, "p" + std::to_string(child) + "-" + std::to_string(i),
                                      i) &&
                     ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RegistryStore check(UserFile(), "HKEY_CURRENT_USER");
    EXPECT_EQ(check.EnumerateValues(kKey).size(), 2u * kWrites);
}

TEST_F(RegistryStoreTest, ModifyAppliesABatchInOneWrite) {
    RegistryStore& store = RegistryStore::CurrentUser();
    ASSERT_TRUE(store.WriteDword("Old", "v", 1));
    ASSERT_TRUE(store.Modify([](RegHive& hive) {
        hive.DeleteKey("Old");
        hive.SetValue("New", RegValue::MakeDword("a", 1));
        hive.SetValue("New", RegValue::MakeString("b", "two"));
    }));
    RegistryStore fresh(UserFile(), "HKEY_CURRENT_USER");
    EXPECT_FALSE(fresh.KeyExists("Old"));
    EXPECT_EQ(fresh.ReadString("New", "b", ""), "two");
}

}  // namespace
}  // namespace tarvik
