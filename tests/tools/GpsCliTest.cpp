// tarvik-cli gps as a user runs it: on real receiver logs, and on a running
// tarvik-gpssim whose pseudo-terminal is mapped as COM3 in a temporary
// machine hive. Also the simulator's own start and stop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "gps/GpsFix.h"
#include "gps/serial/PortName.h"
#include "networks/ScanFile.h"
#include "platform/RegistryStore.h"
#include "tests/adapter/DaemonProcess.h"
#include "tests/adapter/OidToolRun.h"
#include "tests/core/TempFolder.h"

namespace tarvik::testing {
namespace {

namespace fs = std::filesystem;

const std::string kBin = std::string(TARVIK_BINARY_DIR) + "/bin/";
const fs::path kLogs = fs::path(TARVIK_TESTDATA_DIR) / "nmea" / "logs";

std::string LogPath(const std::string& name) {
    return (kLogs / name / (name + ".log")).string();
}

int CountLines(const std::string& text, const std::string& containing) {
    std::istringstream in(text);
    int count = 0;
    for (std::string line; std::getline(in, line);) count += line.find(containing) != line.npos;
    return count;
}

// tarvik-gpssim started with `args` (split at spaces); its first line of
// output is the terminal's path. Stopped with SIGTERM at the end.
class CSimulator {
  public:
    explicit CSimulator(const std::string& args) {
        std::vector<std::string> words{kBin + "tarvik-gpssim"};
        std::istringstream in(args);
        for (std::string word; in >> word;) words.push_back(word);
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        for (char c; ::read(out[0], &c, 1) == 1 && c != '\n';) path_ += c;
        ::close(out[0]);
    }
    ~CSimulator() { Stop(); }
    // The exit status after SIGTERM, -1 when it did not exit by itself.
    int Stop() {
        if (pid_ <= 0) return status_;
        ::kill(pid_, SIGTERM);
        int status = 0;
        if (::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) status_ = WEXITSTATUS(status);
        pid_ = 0;
        return status_;
    }
    const std::string& Path() const { return path_; }

  private:
    pid_t pid_ = 0;
    int status_ = -1;
    std::string path_;
};

class GpsCli : public ::testing::Test {
  protected:
    GpsCli() {
        ::setenv("XDG_CONFIG_HOME", (temp_.Path() / "config").c_str(), 1);
        ::setenv("TARVIK_MACHINE_HIVE", (temp_.Path() / "machine.reg").c_str(), 1);
        RegistryStore::ResetDefaultHives();
    }
    ~GpsCli() override {
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("TARVIK_MACHINE_HIVE");
        RegistryStore::ResetDefaultHives();
    }
    void MapPort(const std::string& name, const std::string& path) {
        ASSERT_TRUE(RegistryStore::LocalMachine().WriteString(kSerialPortsKey, name, path));
    }
    TempFolder temp_;
};

TEST_F(GpsCli, ReceiverLogsGiveOneFixPerEpoch) {
    struct Row {
        const char* log;
        int fixes;
        const char* line;     // one of the printed lines, or a piece of it
        const char* summary;  // the count on stderr
    } const rows[] = {
        {"garmin48", 14,
         "2001-06-06T22:53:08.00Z lat -45.457633 lon 167.152750 alt 14.7 m geoid 1.1 m quality "
         "gps mode 3D sats 5 hdop 2.1 pdop 3.1 vdop 2.0 speed 0.00 m/s course 94.5",
         "14 fixes, 1 sentences dropped (bad checksum 1)"},
        {"tomtom-mkII", 27, "17:57:39.00Z lat 51.431168 lon 5.403828 alt 59.6 m", "27 fixes"},
        {"haicom-305N", 75, "2007-04-08T09:54:15.79Z lat -27.210673 lon 153.052000 alt 3.5",
         "75 fixes, 0 sentences dropped"},
        {"gp-320fw-2019-04-07-coldboot", 15, "1999-08-22T00:04:34.00Z",
         "44 sentences dropped (not a sentence 2, too long 9, bad character 2, bad checksum 31)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.log);
        const ToolRun run = RunCommand(kBin + "tarvik-cli gps --file " + LogPath(row.log));
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(CountLines(run.out, " lat "), row.fixes) << run.out;
        EXPECT_NE(run.out.find(row.line), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(row.summary), std::string::npos) << run.out;
    }
}

TEST_F(GpsCli, JsonLinesCarryTheSameFix) {
    const ToolRun run =
        RunCommand(kBin + "tarvik-cli gps --json --file " + LogPath("garmin48") + " 2>/dev/null");
    ASSERT_EQ(run.status, 0) << run.out;
    std::istringstream lines(run.out);
    std::string first;
    std::getline(lines, first);
    const nlohmann::json fix = nlohmann::json::parse(first);
    EXPECT_EQ(fix["time"], "2001-06-06T22:53:08.00Z");
    EXPECT_NEAR(fix["lat"].get<double>(), -45.457633, 1e-6);
    EXPECT_NEAR(fix["lon"].get<double>(), 167.15275, 1e-6);
    EXPECT_EQ(fix["mode"], "3D");
    EXPECT_EQ(fix["satellites_used"], 5);
    EXPECT_EQ(fix["vdop"], 2.0);
    EXPECT_EQ(CountLines(run.out, "{\"alt\""), 14);
}

TEST_F(GpsCli, BadUseIsRefused) {
    struct Row {
        const char* args;
        int status;
        const char* text;
    } const rows[] = {
        {"--seconds 0", 2, "--seconds"},
        {"--seconds 2 --file x.log", 2, "not to --file"},
        {"--frobnicate", 2, "--frobnicate"},
        {"--file /nonexistent.log", 1, "cannot read /nonexistent.log"},
        {"--seconds 1", 1, "COM3"},  // mapped to a device that is not there
    };
    MapPort("COM3", (temp_.Path() / "no-such-device").string());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        const ToolRun run = RunCommand(kBin + "tarvik-cli gps " + row.args);
        EXPECT_EQ(run.status, row.status) << run.out;
        EXPECT_NE(run.out.find(row.text), std::string::npos) << run.out;
    }
}

TEST_F(GpsCli, ReadsTheSimulatorThroughTheMappedPort) {
    struct Row {
        const char* damage;
        bool fixes;
    } const rows[] = {{"", true}, {"--bad-checksum-rate 1", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.damage);
        CSimulator sim(std::string("--route 52.5010,13.4180 52.5000,13.4230 ") + row.damage);
        ASSERT_TRUE(sim.Path().starts_with("/dev/pts/")) << sim.Path();
        MapPort("COM3", sim.Path());
        const ToolRun run = RunCommand(kBin + "tarvik-cli gps --json --seconds 3");
        EXPECT_EQ(run.status, 0) << run.out;
        std::istringstream lines(run.out);
        int fixes = 0;
        for (std::string line; std::getline(lines, line);) {
            if (!line.starts_with("{")) continue;
            const nlohmann::json fix = nlohmann::json::parse(line);
            EXPECT_NEAR(fix["lat"].get<double>(), 52.5005, 0.001) << line;
            EXPECT_NEAR(fix["lon"].get<double>(), 13.4205, 0.003) << line;
            EXPECT_EQ(fix["satellites_used"], 7);
            ++fixes;
        }
        EXPECT_EQ(fixes > 0, row.fixes) << run.out;
        if (!row.fixes) {
            EXPECT_NE(run.out.find("(bad checksum "), std::string::npos) << run.out;
        }
        EXPECT_EQ(sim.Stop(), 0);
    }
}

// tarvik-cli watch opens the receiver of the settings (COM3, mapped in the
// user's hive) as the window does: the fix line above the table, positions on
// the networks while the fix is current, and those positions in the scan file.
TEST_F(GpsCli, WatchShowsTheFixAndSavesPositionsWhileItIsCurrent) {
    const std::pair<const char*, const char*> rows[] = {
        {"", "GPS: Connected to gps with 3d fix. Latitude "},
        {"--silent-after 0", "GPS: Connected to COM3 but no gps data received in the last 5 s"}};
    ::setenv("TARVIK_INSTANCE_DIR", (temp_.Path() / "instance").c_str(), 1);
    DaemonProcess daemon(std::string(TARVIK_SOURCE_DIR) + "/tests/tools/scenarios/watch.json");
    ASSERT_TRUE(daemon.ready());
    for (const auto& [damage, line] : rows) {
        SCOPED_TRACE(line);
        const bool live = *damage == '\0';
        CSimulator sim("--replay " + LogPath("garmin48") + " --loop " + damage);
        ASSERT_TRUE(RegistryStore::CurrentUser().WriteString(kSerialPortsKey, "COM3", sim.Path()));
        const fs::path file = temp_.Path() / (live ? "live.tvk" : "silent.tvk");
        // Left by a save that crashed two minutes ago: the next save removes it.
        const fs::path crashed = file.string() + ".tmp-Ab12Cd";
        std::ofstream(crashed) << "partial";
        fs::last_write_time(crashed, fs::last_write_time(crashed) - std::chrono::minutes(2));
        const ToolRun run =
            RunCommand(kBin + "tarvik-cli watch --seconds 4 --save " + file.string());
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_NE(run.out.find("Selected GPS port, COM3 opened successfully."), run.out.npos);
        EXPECT_NE(run.out.find(line), std::string::npos) << run.out;
        EXPECT_FALSE(fs::exists(crashed));
        const ScanFileContents saved = ReadScanFileContents(file);
        ASSERT_EQ(saved.records.size(), 2u) << saved.message;
        for (const BssidRecord& record : saved.records) {
            ASSERT_EQ(bool(record->PositionAtMinRssi()), live);
            ASSERT_EQ(bool(record->PositionAtMaxRssi()), live);
            if (!live) continue;
            const GpsFix fix = DecodeGpsFix(record->PositionAtMaxRssi()->fix);
            EXPECT_NEAR(fix.latitude, -45.4576, 0.001);
            EXPECT_NEAR(fix.longitude, 167.1527, 0.001);
        }
    }
    ::unsetenv("TARVIK_INSTANCE_DIR");
}

TEST_F(GpsCli, SimulatorLinksItsTerminalUntilStopped) {
    const fs::path link = temp_.Path() / "private" / "gps0";  // the folder is made 0700
    CSimulator sim("--replay " + LogPath("garmin48") + " --link " + link.string());
    ASSERT_FALSE(sim.Path().empty());
    EXPECT_EQ(fs::read_symlink(link), sim.Path());
    EXPECT_EQ(fs::status(link.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(fs::is_symlink(link));
    const ToolRun bad = RunCommand(kBin + "tarvik-gpssim --route 52.5,13.4 --replay x");
    EXPECT_EQ(bad.status, 2) << bad.out;
}

// The link is trusted by name: a folder another user could change is refused.
TEST_F(GpsCli, SimulatorRefusesALinkInAFolderOthersControl) {
    const std::pair<const char*, const char*> rows[] = {{"shared", "is writable by others"},
                                                        {"theirs", "belongs to user 4242"},
                                                        {"linked", "is not a folder"}};
    fs::create_directory(temp_.Path() / "shared");
    ::chmod((temp_.Path() / "shared").c_str(), 01777);
    fs::create_directory(temp_.Path() / "theirs");
    ASSERT_EQ(::chown((temp_.Path() / "theirs").c_str(), 4242, 4242), 0);
    fs::create_directory_symlink(temp_.Path(), temp_.Path() / "linked");
    for (const auto& [folder, why] : rows) {
        const fs::path link = temp_.Path() / folder / "gps0";
        const ToolRun run = RunCommand("timeout 10 " + kBin +
                                       "tarvik-gpssim --route 52.5,13.4 --link " + link.string());
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.out.find("refusing to make the link " + link.string() + ": "), run.out.npos);
        EXPECT_NE(run.out.find(why), std::string::npos) << run.out;
        EXPECT_FALSE(fs::is_symlink(link));
    }
}

}  // namespace
}  // namespace tarvik::testing
