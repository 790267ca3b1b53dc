// tarvik-cli as a user runs it: its exit status and output for bad
// arguments, the network table, the profiles, and refusals.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/AdapterClaim.h"
#include "networks/ScanFile.h"
#include "platform/RegistryStore.h"
#include "platform/SingleInstance.h"
#include "profiles/ProfileList.h"
#include "tests/adapter/DaemonProcess.h"
#include "tests/adapter/OidToolRun.h"
#include "tests/core/TempFolder.h"

namespace tarvik::testing {
namespace {

constexpr const char* kAppKey = "Software\\Tarvik\\tarvik";
const std::string kCardGuid = "{AD000061-0000-4000-8000-000000000061}";

// Run from `folder`, so arguments may name files in it.
ToolRun RunCli(const std::string& args, const std::filesystem::path& folder = ".") {
    return RunCommand("cd '" + folder.string() + "' && " + TARVIK_BINARY_DIR + "/bin/tarvik-cli " +
                      args);
}

class CliTool : public ::testing::Test {
  protected:
    CliTool() {
        ::setenv("XDG_CONFIG_HOME", (temp_.Path() / "config").c_str(), 1);
        ::setenv("TARVIK_MACHINE_HIVE", (temp_.Path() / "machine.reg").c_str(), 1);
        ::setenv("TARVIK_INSTANCE_DIR", InstanceFolder().c_str(), 1);
        ::setenv("TARVIK_DRIVER_SOCKET", (temp_.Path() / "absent.sock").c_str(), 1);
        RegistryStore::ResetDefaultHives();
    }
    ~CliTool() override {
        daemon_.reset();
        for (const char* name : {"XDG_CONFIG_HOME", "TARVIK_MACHINE_HIVE", "TARVIK_INSTANCE_DIR",
                                 "TARVIK_DRIVER_SOCKET"}) {
            ::unsetenv(name);
        }
        RegistryStore::ResetDefaultHives();
    }

    std::filesystem::path InstanceFolder() const { return temp_.Path() / "instance"; }

    void StartDaemon(const std::string& scenario) {
        daemon_ = std::make_unique<DaemonProcess>(std::string(TARVIK_SOURCE_DIR) + "/" + scenario);
        ASSERT_TRUE(daemon_->ready());
    }

    // The SSIDs of the stored profiles, in list order, as another program
    // reads them.
    std::vector<std::string> StoredSsids() {
        RegistryStore::ResetDefaultHives();
        CProfileList list(RegistryStore::CurrentUser(), kAppKey);
        list.Load();
        std::vector<std::string> ssids;
        for (std::size_t i = 0; i < list.Size(); ++i) ssids.push_back(list.At(i).SsidText());
        return ssids;
    }

    TempFolder temp_;
    std::unique_ptr<DaemonProcess> daemon_;
};

void ExpectRun(const ToolRun& run, int status, const std::string& text) {
    EXPECT_EQ(run.status, status) << run.out;
    EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
}

TEST_F(CliTool, ArgumentsAreCheckedBeforeAnythingRuns) {
    struct Case {
        const char* args;
        int status;
        const char* text;
    };
    const Case cases[] = {
        {"", 2, "tarvik-cli: no command given"},
        {"frob", 2, "tarvik-cli: unknown command 'frob' (see 'tarvik-cli --help')\n"},
        {"--help", 0, "usage: tarvik-cli COMMAND"},
        {"watch --help", 0, "--seconds N"},
        {"profiles show 1 --help", 0, "--show-key"},
        {"watch --seconds", 2, "unknown or incomplete option '--seconds'"},
        {"watch --seconds -1", 2, "--seconds takes a whole number"},
        {"watch --columns Ssid,Nope", 2,
         "--columns names a column that does not exist: 'Nope'; the columns are Ssid, Speed, "},
        {"watch --filter security", 2, "--filter takes GROUP=CHOICE, not 'security'; class=a|b|g"},
        {"watch --filter channel5=37", 2, "--filter channel5 takes 34|36|38"},
        {"watch --mode hop", 2, "--mode takes scanning, hopping or manager"},
        {"watch --auto-save 5", 2, "--auto-save goes with --save"},
        {"watch --save x.tvk --auto-save 0", 2, "--auto-save takes a whole number"},
        {"profiles", 2, "profiles needs list, show, remove or move"},
        {"profiles list extra", 2, "list takes no arguments"},
        {"profiles show", 2, "show takes N"},
        {"profiles move 1 sideways", 2, "move takes N and up or down"},
        {"profiles show 1", 1, "there is no profile 1 (0 saved"},
        {"connect", 2, "connect needs the network's MAC address or SSID"},
        {"connect Cafe --hex", 2, "--hex and --remember go with --key"},
        {"connect Cafe --timeout 0", 2, "--timeout takes a whole number"},
        {"disconnect now", 2, "disconnect takes no arguments"},
        {"watch --seconds 1", 1, "tarvik-cli: no driver answers at "},
        {"device --xml", 2, "unknown argument: '--xml'"},
        {"device", 1, "tarvik-cli: no driver answers at "},
        {"channels --seconds 0", 2, "--seconds takes 1 to 3600"},
        {"channels --help", 0, "how many others reach into it"},
        {"channels --seconds 1", 1, "tarvik-cli: no driver answers at "},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.args);
        const ToolRun run = RunCli(row.args);
        ExpectRun(run, row.status, row.text);
        // A usage error is one line.
        if (row.status == 2) {
            EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
        }
    }
}

TEST_F(CliTool, WatchFiltersAndPicksColumns) {
    StartDaemon("tests/tools/scenarios/watch.json");
    const ToolRun run = RunCli(
        "watch --seconds 3 --filter security=none --filter mode=infrastructure "
        "--columns ssid,Encryption,Score");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Ssid   Encryption  Score\nAlpha  None        "), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("Evil"), std::string::npos) << run.out;
}

TEST_F(CliTool, WatchPrintsTheNetworkTable) {
    StartDaemon("tests/tools/scenarios/watch.json");
    const ToolRun run = RunCli("watch --seconds 6");
    EXPECT_EQ(run.status, 0) << run.out;
    // In the window's default order; the escape byte printed as text.
    const std::string table =
        "MAC Address        Ssid         Channel  Signal   Encryption  Status\n"
        "00:18:39:61:00:01  Alpha        1        -40 dBm  None        Not Connected\n"
        "00:18:39:61:00:02  Evil\\x1b[2J  11       -70 dBm  WPA2        Not Connected\n\n";
    EXPECT_NE(run.out.find(table), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
}

TEST_F(CliTool, ChannelsSaysWhichChannelsAreTaken) {
    StartDaemon("tests/tools/scenarios/watch.json");
    ExpectRun(RunCli("channels --seconds 2"), 0,
              "Band     Channel  Networks  Overlapping  Strongest\n"
              "2.4 GHz  1        1         0            -40 dBm\n"
              "2.4 GHz  11       1         0            -70 dBm\n");
}

// The page's texts of the card the window would choose, which stays joined.
TEST_F(CliTool, DevicePrintsTheDeviceInformationTexts) {
    StartDaemon("tests/adapter/scenarios/devinfo.json");
    ExpectRun(RunCli("device"), 0,
              "Wireless Parameters\n"
              "  Signal Strength:                       -57 dBm\n");
    ExpectRun(RunCli("device"), 0, "  SSID:                                  InfoNet\n");
    ExpectRun(RunCli("device --json"), 0, "\"Vendor Description\": \"Info Card\"");
}

TEST_F(CliTool, WatchSaveRecordsTheSurveyAndContinuesIt) {
    StartDaemon("tests/tools/scenarios/watch.json");
    const std::filesystem::path file = temp_.Path() / "survey.tvk";
    ToolRun run = RunCli("watch --seconds 3 --auto-save 1 --save survey.tvk", temp_.Path());
    ExpectRun(run, 0, "Scan listing saved to: survey.tvk");
    ExpectRun(run, 0, "File closed: survey.tvk");
    const ScanFileContents first = ReadScanFileContents(file);
    ASSERT_EQ(first.status, ScanFileStatus::Read) << first.message;
    EXPECT_FALSE(first.records.empty());

    run = RunCli("watch --seconds 2 --save survey.tvk", temp_.Path());
    ExpectRun(run, 0, "Opened file: survey.tvk");
    const ScanFileContents second = ReadScanFileContents(file);
    EXPECT_GE(second.records.size(), first.records.size());
    EXPECT_GT(second.scanCounter, first.scanCounter);

    // Any other file there is left as it is.
    std::ofstream(temp_.Path() / "notes.txt") << "keep me";
    ExpectRun(RunCli("watch --seconds 1 --save notes.txt", temp_.Path()), 1,
              "tarvik-cli: notes.txt is there but is not a scan file");
    std::ifstream notes(temp_.Path() / "notes.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(notes), {}), "keep me");
}

TEST_F(CliTool, AnAdapterInUseElsewhereIsRefusedWithItsHolder) {
    StartDaemon("tests/tools/scenarios/watch.json");
    ASSERT_TRUE(PreparePrivateFolder(InstanceFolder()).empty());
    CHolderLock window;
    ASSERT_EQ(
        window.Take(InstanceFolder() / AdapterLockFileName("\\DEVICE\\" + kCardGuid), "tarvik"),
        LockOutcome::Taken);
    ExpectRun(RunCli("watch --seconds 1"), 1,
              "tarvik-cli: Tarvik is already using adapter Cli Card " + kCardGuid +
                  " (tarvik, process " + std::to_string(::getpid()) + "); close it first.\n");
}

// Each step starts where the one before left the card and the hive.
TEST_F(CliTool, ConnectJoinsWithAKeyOrAProfileAndSaysWhyNot) {
    StartDaemon("tests/tools/scenarios/join.json");
    std::ofstream(temp_.Path() / "key.txt") << "abcde\n";
    const std::string joined =
        "Network configuration applied, IP address received, connected to the network.\n";
    const struct {
        const char* args;
        int status;
        std::string text;
    } steps[] = {
        {"connect OpenCafe", 0, joined},
        {"connect OpenCafe --key abcde", 1, "OpenCafe is an open network; it takes no key"},
        // Still on OpenCafe with its address: the failed join must not pass for one.
        {"connect WepThirteen --key 61626364 --hex", 1,
         "could not connect to WepThirteen: result 1026 (the WEP key could not be added)"},
        {"connect WepFive", 1, "no saved profile matches WepFive; give its key with --key"},
        // The key from standard input, out of sight of ps.
        {"connect 00:18:39:62:00:02 --key - --remember < key.txt", 0, joined},
        {"disconnect", 0, "Disconnected from WepFive.\n"},
        {"connect WepFive", 0, joined},
        {"connect Nowhere --timeout 2", 1, "no network Nowhere is in range"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args);
        ExpectRun(RunCli(step.args, temp_.Path()), step.status, step.text);
    }
    EXPECT_EQ(StoredSsids(), std::vector<std::string>{"WepFive"});
}

std::unique_ptr<CNetworkKey> Profile(const std::string& ssid, int securityClass,
                                     const std::string& key) {
    auto profile = std::make_unique<CNetworkKey>();
    profile->ssidLength = static_cast<std::uint32_t>(ssid.size());
    std::copy(ssid.begin(), ssid.end(), profile->ssid.begin());
    profile->securityClass = securityClass;
    if (!key.empty()) profile->SetKeyFromText(key, KEY_TYPE_ASCII);
    return profile;
}

// The mode's status lines on stderr; the second run finds the card joined.
TEST_F(CliTool, WatchStepsTheChosenMode) {
    StartDaemon("tests/tools/scenarios/join.json");
    ASSERT_TRUE(
        CProfileList(RegistryStore::CurrentUser(), kAppKey).Add(Profile("OpenCafe", 1, "")));
    ExpectRun(RunCli("watch --mode hopping --seconds 6"), 0,
              "Network Hopping: Connecting to network: OpenCafe\n");
    ExpectRun(RunCli("watch --mode manager --seconds 6"), 0,
              "Connection Manager: Connected to network: OpenCafe, 00:18:39:62:00:01\n");
}

// Each step runs on what the steps before it left in the hive.
TEST_F(CliTool, ProfilesAreListedShownMaskedMovedAndRemoved) {
    {
        CProfileList list(RegistryStore::CurrentUser(), kAppKey);
        ASSERT_TRUE(list.Add(Profile("alpha", 1, "")));
        ASSERT_TRUE(list.Add(Profile("bravo", 4, "bravo-secret")));
        ASSERT_TRUE(list.Add(Profile("charlie", 2, "abcde")));
    }
    struct Step {
        const char* args;
        int status;
        const char* shown;
        const char* hidden;
        std::vector<std::string> after;
    };
    const std::vector<std::string> initial{"alpha", "bravo", "charlie"};
    const Step steps[] = {
        {"profiles list", 0, "2  bravo    00:00:00:00:00:00  WPA2      Infrastructure  ASCII", "",
         initial},
        {"profiles show 2", 0, "Key:                    ******** (--show-key shows it)",
         "bravo-secret", initial},
        {"profiles show 2 --show-key", 0, "Key:                    bravo-secret", "***", initial},
        {"profiles show 1", 0, "Key:                    Not Available", "", initial},
        {"profiles move 3 UP", 0, "", "", {"alpha", "charlie", "bravo"}},
        {"profiles move 1 up", 1, "profile 1 cannot move up", "", {"alpha", "charlie", "bravo"}},
        {"profiles remove 1", 0, "", "", {"charlie", "bravo"}},
        {"profiles remove 3", 1, "there is no profile 3 (2 saved", "", {"charlie", "bravo"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.args);
        const ToolRun run = RunCli(step.args);
        ExpectRun(run, step.status, step.shown);
        if (*step.hidden) {
            EXPECT_EQ(run.out.find(step.hidden), std::string::npos) << run.out;
        }
        EXPECT_EQ(StoredSsids(), step.after);
    }

    // The window keeps its own copy: changes wait until it has closed.
    CSingleInstance window(InstanceFolder());
    ASSERT_TRUE(window.Acquire());
    ExpectRun(RunCli("profiles remove 1"), 1, "Tarvik is running and keeps its own copy");
    EXPECT_EQ(StoredSsids(), (std::vector<std::string>{"charlie", "bravo"}));
}

// The Options dialog's settings from the terminal: the same limits, greying
// and effect on the stored record.
TEST_F(CliTool, OptionsAreListedReadAndChangedWithinTheirLimits) {
    const struct {
        const char* args;
        int status;
        const char* text;
    } steps[] = {
        {"options --set 'Soft Refresh Interval=250'", 1,
         "'250' is refused for Soft Refresh Interval (allowed: 1 to 200 sec)"},
        {"options --set SoftRefreshInterval=200", 0, ""},
        {"options --get 'Soft Refresh Interval'", 0, "200\n"},
        {"options --set ColoringEnabled=off", 0, ""},
        {"options --set 'Table Coloring Setup=signal strength'", 1, "is greyed while the switch"},
        {"options --list", 0, "encryption (greyed)"},
        {"options --set AutoStartOnLogin=on", 0, ""},
        {"options --get Nope", 2, "no option is named 'Nope'"},
        {"options --set SoftRefreshInterval", 2, "--set takes NAME=VALUE"},
        {"options --get", 2, "options takes --list, --get NAME or --set NAME=VALUE"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args);
        ExpectRun(RunCli(step.args), step.status, step.text);
    }
    RegistryStore::ResetDefaultHives();
    RegistryStore& hive = RegistryStore::CurrentUser();
    EXPECT_EQ(hive.ReadDword(std::string(kAppKey) + "\\Settings", "SoftRefreshInterval", 0), 200u);
    EXPECT_EQ(hive.ReadDword(std::string(kAppKey) + "\\Settings", "TableColorSetup", 0), 2u);
    // The login entry starts the window, not the terminal tool.
    EXPECT_EQ(hive.ReadString("Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Tarvik", ""),
              "\"" + std::string(TARVIK_BINARY_DIR) + "/bin/tarvik\" /login");
}

}  // namespace
}  // namespace tarvik::testing
