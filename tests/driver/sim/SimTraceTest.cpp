// The daemon's trace of a join: the sets in the order the station made them,
// key material masked unless asked for, and the media event that followed.
#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "SimTestWorld.h"
#include "driver/TraceBackend.h"

namespace tarvik::driver::sim {
namespace {

using namespace ndis;

struct TraceRow {
    const char* name;
    int adapter;
    const char* ssid;
    std::uint32_t auth, encryption;
    std::uint32_t keyOid;  // 0: no key
    bool showKeys;
};

void PrintTo(const TraceRow& row, std::ostream* out) {
    *out << row.name;
}

const std::vector<std::uint8_t> kWepKey{0x01, 0x02, 0x03, 0x04, 0x05};  // Wep-1's

class TraceOfJoin : public SimWorldTest, public testing::WithParamInterface<TraceRow> {
  protected:
    std::vector<nlohmann::json> Lines(const std::string& path) {
        std::vector<nlohmann::json> lines;
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);)
            lines.push_back(nlohmann::json::parse(line));
        return lines;
    }
};

TEST_P(TraceOfJoin, HoldsTheSetsInOrderAndMasksKeys) {
    const TraceRow& row = GetParam();
    LoadWorld();
    const std::string path =
        testing::TempDir() + "trace-" + row.name + std::to_string(getpid()) + ".jsonl";
    std::filesystem::remove(path);
    CTraceBackend trace(*backend_, row.showKeys, [] { return 1700000000.5; });
    std::string error;
    ASSERT_TRUE(trace.Open(path, error)) << error;
    trace.SetSink(&sink_);
    const std::string device = Device(row.adapter);
    auto set = [&](std::uint32_t oid, std::vector<std::uint8_t> data) {
        EXPECT_EQ(trace.SetOid(device, oid, data), 0u) << OidName(oid);
    };
    auto u32 = [](std::uint32_t value) {
        std::vector<std::uint8_t> data;
        AppendLe32(data, value);
        return data;
    };
    std::vector<std::string> expected{"OID_802_11_INFRASTRUCTURE_MODE",
                                      "OID_802_11_AUTHENTICATION_MODE"};
    set(OID_802_11_INFRASTRUCTURE_MODE, u32(Ndis802_11Infrastructure));
    set(OID_802_11_AUTHENTICATION_MODE, u32(row.auth));
    if (row.keyOid == OID_802_11_ADD_WEP) {
        set(OID_802_11_ADD_WEP, BuildWep({kKeyIndexTransmit, kWepKey}));
    } else if (row.keyOid == OID_802_11_ADD_KEY) {
        set(OID_802_11_ADD_KEY,
            BuildKey({kKeyIndexTransmit, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, 0, kWepKey}));
    }
    if (row.keyOid) expected.emplace_back(OidName(row.keyOid));
    set(OID_802_11_ENCRYPTION_STATUS, u32(row.encryption));
    set(OID_802_11_SSID, *BuildSsid(row.ssid));
    expected.insert(expected.end(), {"OID_802_11_ENCRYPTION_STATUS", "OID_802_11_SSID"});
    std::vector<std::uint8_t> out;
    std::size_t needed = 0;
    EXPECT_EQ(trace.QueryOid(device, OID_GEN_MEDIA_CONNECT_STATUS, 4, out, needed), 0u);
    RunTo(2);

    std::vector<std::string> sets;
    bool connected = false, queried = false;
    for (const auto& line : Lines(path)) {
        SCOPED_TRACE(line.dump());
        EXPECT_EQ(line["device"], device);
        EXPECT_EQ(line["time"], 1700000000.5);
        if (line["event"] == "media") connected = line["connected"];
        if (line["event"] == "query") queried = line["oid"] == "OID_GEN_MEDIA_CONNECT_STATUS";
        if (line["event"] != "set") continue;
        sets.push_back(line["oid"]);
        const std::string data = line["data"];
        EXPECT_EQ(data.size(), 2 * line["length"].get<std::size_t>());
        if (line["oid"] != OidName(row.keyOid)) continue;
        EXPECT_EQ(data.find("0102030405") != std::string::npos, row.showKeys);
        EXPECT_EQ(data.ends_with("**********"), !row.showKeys);
    }
    EXPECT_EQ(sets, expected);
    EXPECT_TRUE(queried);
    EXPECT_TRUE(connected);
}

const TraceRow kTraceRows[] = {
    {"Open", kFull, "Open-1", Ndis802_11AuthModeOpen, Ndis802_11EncryptionDisabled, 0, false},
    {"WepMasked", kWep, "Wep-1", Ndis802_11AuthModeOpen, Ndis802_11Encryption1Enabled,
     OID_802_11_ADD_WEP, false},
    {"WepKeyMasked", kWep, "Wep-1", Ndis802_11AuthModeOpen, Ndis802_11Encryption1Enabled,
     OID_802_11_ADD_KEY, false},
    {"WepWithKeys", kWep, "Wep-1", Ndis802_11AuthModeOpen, Ndis802_11Encryption1Enabled,
     OID_802_11_ADD_WEP, true},
};

INSTANTIATE_TEST_SUITE_P(Daemon, TraceOfJoin, testing::ValuesIn(kTraceRows),
                         [](const auto& info) { return std::string(info.param.name); });

// A name an attacker could have planted is refused, never followed; a file of
// our own is taken over as 0600.
TEST(PrivateLogFile, RefusesWhatIsNoPlainFileOfOurs) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::path(testing::TempDir()) / ("private-log-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "target") << "keep";
    fs::create_symlink(folder / "target", folder / "link");
    fs::create_directory(folder / "folder");
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::ofstream(folder / "open") << "old";
    fs::permissions(folder / "open", fs::perms::all);
    const struct {
        const char* name;
        const char* refusal;  // "" when it opens
    } rows[] = {{"link", "symbolic link"},
                {"folder", "Is a directory"},
                {"fifo", "cannot open"},
                {"open", ""},
                {"new", ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CPrivateLogFile file;
        std::string error;
        EXPECT_EQ(file.Open(folder / row.name, error), *row.refusal == 0);
        EXPECT_NE(error.find(row.refusal), std::string::npos) << error;
        if (*row.refusal) continue;
        EXPECT_EQ(fs::file_size(folder / row.name), 0u);
        EXPECT_EQ(fs::status(folder / row.name).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    std::ifstream target(folder / "target");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(target), {}), "keep");
}

// The daemon names the file it cannot open and stops before serving.
TEST(DaemonLogOptions, AreRefusedWithAMessage) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::path(testing::TempDir()) / ("daemon-logs-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::create_symlink(folder / "planted", folder / "link");
    // A folder the daemon refuses to serve in: should it get past the
    // options, it exits instead of serving.
    fs::create_directory(folder / "shared");
    fs::permissions(folder / "shared", fs::perms::all);
    const std::string link = (folder / "link").string();
    const struct {
        std::string arguments;
        int exitCode;
        std::string message;
    } rows[] = {{"--trace " + link, 1, "--trace: cannot open " + link + ": it is a symbolic link"},
                {"--capture " + link, 1, "--capture: cannot open " + link},
                {"--trace-keys", 2, "usage:"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments);
        const std::string errors = (folder / "stderr").string();
        const std::string command = TARVIK_BINARY_DIR "/bin/tarvik-driverd --socket " +
                                    (folder / "shared/sock").string() + " " + row.arguments +
                                    " 2>" + errors;
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), row.exitCode);
        std::ifstream in(errors);
        const std::string text(std::istreambuf_iterator<char>(in), {});
        EXPECT_NE(text.find(row.message), std::string::npos) << text;
        EXPECT_FALSE(fs::exists(folder / "planted"));
    }
}

}  // namespace
}  // namespace tarvik::driver::sim
