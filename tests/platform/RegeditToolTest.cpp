// Runs the built tarvik-regedit on files written here, against temporary hives.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "tests/platform/HiveFolder.h"

namespace tarvik {
namespace {

using test::ReadFile;
using test::WriteFile;
using ::testing::HasSubstr;

struct RunResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error
};

RunResult RunRegedit(const std::vector<std::string>& args) {
    std::string command = TARVIK_REGEDIT_PATH;
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " 2>&1";
    RunResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class RegeditToolTest : public test::HiveFolderTest {
  protected:
    std::string InputFile(const std::string& name, const std::string& data) const {
        WriteFile(temp_.Path() / name, data);
        return (temp_.Path() / name).string();
    }
};

// An export with two roots is imported; one key exported again imports back to the same hive.
TEST_F(RegeditToolTest, ImportsBothRootsAndExportsAKeyThatImportsBackTheSame) {
    const std::string file =
        InputFile("two-roots.reg",
                  "Windows Registry Editor Version 5.00\n\n"
                  "[HKEY_CURRENT_USER\\Software\\Tarvik\\tarvik\\Settings]\n"
                  "\"SoftRefreshInterval\"=dword:00000002\n\"Name\"=\"Caf\xC3\xA9 \\\"x\\\"\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Elsewhere]\n\"x\"=dword:1\n\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Tarvik]\n\"INSTInfo\"=\"/opt/tarvik\"\n\n");
    RunResult run = RunRegedit({"/s", file});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "");

    RegistryStore user(UserFile(), "HKEY_CURRENT_USER");
    const std::string key = "Software\\Tarvik\\tarvik\\Settings";
    EXPECT_EQ(user.ReadDword(key, "SoftRefreshInterval", 0), 2u);
    EXPECT_EQ(user.ReadString(key, "Name", ""), "Caf\xC3\xA9 \"x\"");
    RegistryStore machine(MachineFile(), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(machine.ReadString("Software\\Tarvik", "INSTInfo", ""), "/opt/tarvik");

    ASSERT_TRUE(user.WriteString("Software\\Tarvik\\tarvik\\NetworkKeys\\home", "Key", "pw"));
    const RegHive original = user.Snapshot();
    const std::string exported = (temp_.Path() / "out/export.reg").string();
    run = RunRegedit({"/e", exported, "HKEY_CURRENT_USER\\Software\\Tarvik\\tarvik"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(ReadFile(exported), ::testing::Not(HasSubstr("Elsewhere")));
    ASSERT_TRUE(user.DeleteKey("Software\\Tarvik\\tarvik"));
    run = RunRegedit({"/s", exported});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(user.Snapshot(), original);

    run = RunRegedit({"/e", exported, "HKEY_CURRENT_USER\\Software\\Missing"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("does not exist"));
}

// A bad file, or one naming a hive that cannot be written, changes no hive.
TEST_F(RegeditToolTest, ARefusedImportChangesNothingAndSaysWhyAndBadArgumentsPrintUsage) {
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const std::string both = header +
                             "[HKEY_CURRENT_USER\\Software\\Tarvik]\n\"New\"=dword:2\n\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Tarvik]\n\"INSTInfo\"=\"/opt\"\n";
    const auto plain = temp_.Path() / "plain";
    WriteFile(plain, "");  // a folder under it cannot be made, even by root
    const auto folderHive = temp_.Path() / "hive-folder";
    std::filesystem::create_directories(folderHive);  // passes the check, fails to be read
    struct Row {
        const char* name;
        std::string text;
        std::string machineHive;
        std::string message;
    } rows[] = {
        {"BadLine",
         header + "[HKEY_LOCAL_MACHINE\\Software\\Tarvik]\n\"INSTInfo\"=\"/opt\"\n"
                  "[-HKEY_CURRENT_USER\\Software\\Tarvik]\n[HKEY_CURRENT_USER\\Other]\n"
                  "\"Broken\"=dword:1234567890\n",
         MachineFile().string(), "line 7: dword: must be followed by 1 to 8 hex digits"},
        {"OtherRoot", header + "[HKEY_CURRENT_USER\\A]\n\n[HKEY_CLASSES_ROOT\\B]\n",
         MachineFile().string(), "line 5: the root key HKEY_CLASSES_ROOT is not supported"},
        {"MachineFolderCannotBeMade", both, (plain / "machine.reg").string(),
         "HKEY_LOCAL_MACHINE (" + (plain / "machine.reg").string() + ") cannot be written"},
        {"MachineHiveCannotBeRead", both, folderHive.string(),
         "the import into HKEY_LOCAL_MACHINE (" + folderHive.string() + ") failed"},
    };
    RegistryStore user(UserFile(), "HKEY_CURRENT_USER");
    ASSERT_TRUE(user.WriteDword("Software\\Tarvik", "Kept", 1));
    const std::string before = ReadFile(UserFile());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ::setenv("TARVIK_MACHINE_HIVE", row.machineHive.c_str(), 1);
        const std::string file = InputFile(std::string(row.name) + ".reg", row.text);
        RunResult run = RunRegedit({"/s", file});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_THAT(run.output, HasSubstr(file + ": " + row.message));
        EXPECT_THAT(run.output, HasSubstr("; nothing was imported."));
        EXPECT_EQ(ReadFile(UserFile()), before);
    }
    EXPECT_FALSE(std::filesystem::exists(MachineFile()));

    RunResult run = RunRegedit({"/s", (temp_.Path() / "missing.reg").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("cannot read"));
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"/e", "file"}}) {
        run = RunRegedit(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_THAT(run.output, HasSubstr("usage: tarvik-regedit"));
    }
}

}  // namespace
}  // namespace tarvik
