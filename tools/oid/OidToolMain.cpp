// tarvik-oid: a diagnostic tool over the application's own driver channel.
// Lists the driver's bindings, queries or sets any OID on an adapter, and
// runs a scan or watches the scan cycle.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "adapter/DriverChannel.h"
#include "ndis/Oids.h"
#include "platform/driverio/DriverProtocol.h"
#include "tools/oid/OidDecode.h"
#include "tools/oid/WatchCommand.h"

namespace {

using namespace tarvik;

constexpr std::uint32_t kDefaultLength = 4096;
// The most OID data one query carries over the driver channel.
constexpr std::uint32_t kLargestLength = driverio::kMaxOidDataSize;
constexpr int kDefaultScanWaitMs = 1500;

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: tarvik-oid bindings\n"
        "       tarvik-oid query DEVICE OID [--length N] [--direct] [--hex | --decode]\n"
        "       tarvik-oid set DEVICE OID HEXBYTES\n"
        "       tarvik-oid scan DEVICE [--wait MS]\n"
        "       tarvik-oid watch [--seconds N]\n"
        "DEVICE: \\DEVICE\\{GUID}, {GUID}, or a binding's index (0, 1, ...).\n"
        "OID: a name such as OID_802_11_SSID or a number (0x0D010102).\n"
        "HEXBYTES: bytes in hex (\"0a0b\", \"0a:0b\"); \"-\" for none.\n"
        "watch: runs the scan cycle on the chosen adapter with the user's settings and\n"
        "  prints, once a second, \"Scan counter: N\" and then the networks in the\n"
        "  table's sorted order (by status): MAC, SSID, age in scans, status number,\n"
        "  status text, score, security class, RSSI in dBm. Status texts go to stderr.\n"
        "  Runs for N seconds, or until SIGINT or SIGTERM.\n"
        "The driver is reached at TARVIK_DRIVER_SOCKET when that is set.\n",
        to);
}

int Fail(const char* what, std::uint32_t error) {
    const char* name = oidtool::Win32ErrorName(error);
    std::fprintf(stderr, "tarvik-oid: %s: error %u%s%s%s\n", what, error, *name ? " (" : "", name,
                 *name ? ")" : "");
    return 1;
}

int Usage(const char* problem) {
    std::fprintf(stderr, "tarvik-oid: %s\n", problem);
    PrintUsage(stderr);
    return 2;
}

std::vector<std::string> ReadBindings(Result& result) {
    std::vector<std::uint8_t> list(kBindingListSize);
    result = QueryBindings(list.data(), list.size());
    if (result != RES_BINDINGS_DONE) return {};
    return BindingNames(list.data(), list.size());
}

// The device name for an argument: a full name, a bare GUID, or an index.
bool ResolveDevice(const std::string& arg, std::string& device) {
    if (arg.empty()) return false;
    if (!arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos) {
        Result result = 0;
        const auto names = ReadBindings(result);
        const unsigned long index = std::strtoul(arg.c_str(), nullptr, 10);
        if (index >= names.size()) return false;
        device = names[index];
        return true;
    }
    device = arg.front() == '{' ? "\\DEVICE\\" + arg : arg;
    return true;
}

// A driver handle tied to the device, for the driver path.
DriverHandle OpenChannel(const std::string& device, std::uint32_t& error) {
    DriverHandle handle = OpenDriver();
    if (!handle) {
        error = LastDriverError();
        return nullptr;
    }
    if (!OpenDevice(handle, device)) {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    return handle;
}

int RunBindings() {
    Result result = 0;
    const auto names = ReadBindings(result);
    if (result != RES_BINDINGS_DONE) {
        std::fprintf(stderr, "tarvik-oid: the driver's binding list could not be read\n");
        return 1;
    }
    for (std::size_t i = 0; i < names.size(); ++i) std::printf("%zu  %s\n", i, names[i].c_str());
    return 0;
}

bool IsTooSmall(Result result) {
    return result == ERROR_INSUFFICIENT_BUFFER || result == ERROR_INVALID_USER_BUFFER;
}

// Queries `oid` once with `length` bytes. `data` receives the OID's bytes; a
// buffer too small leaves in `needed` the size the driver asks for (0 when
// it does not say).
Result QueryOnce(const std::string& device, std::uint32_t oid, bool direct,
                 const DriverHandle& handle, CDriverGate& gate, std::uint32_t length,
                 std::vector<std::uint8_t>& data, std::uint32_t& needed) {
    data.assign(length, 0);
    std::uint32_t returned = 0;
    Result result = 0;
    if (direct) {
        result = QueryOidDirect(std::u16string(device.begin(), device.end()), oid, data.data(),
                                length, &returned);
    } else {
        result = QueryOid(handle, &gate, oid, data.data(), length, &returned);
        returned = returned >= 4 ? returned - 4 : 0;  // the driver counts the OID field
    }
    needed = IsTooSmall(result) ? returned : 0;
    if (result == 0) data.resize(std::min(returned, length));
    return result;
}

// Queries `oid`; unless the caller fixed the length, asks again with the size
// the driver needs (or twice the buffer when it does not say), up to
// kLargestLength. `atLimit` tells that the reply needs more than that.
Result Query(const std::string& device, std::uint32_t oid, bool direct, std::uint32_t length,
             bool growable, std::vector<std::uint8_t>& data, bool& atLimit) {
    atLimit = false;
    DriverHandle handle;
    CDriverGate gate;
    if (!direct) {
        std::uint32_t error = 0;
        handle = OpenChannel(device, error);
        if (!handle) return static_cast<Result>(error);
    }
    for (;;) {
        std::uint32_t needed = 0;
        const Result result = QueryOnce(device, oid, direct, handle, gate, length, data, needed);
        if (!IsTooSmall(result) || !growable) return result;
        if (length >= kLargestLength || needed > kLargestLength) {
            atLimit = true;
            return result;
        }
        const std::uint64_t doubled = std::uint64_t{length} * 2;
        length = needed > length
                     ? needed
                     : static_cast<std::uint32_t>(std::min<std::uint64_t>(doubled, kLargestLength));
    }
}

// A query's failure; a reply larger than one query can carry names the limit.
int FailQuery(const char* what, Result result, bool atLimit) {
    if (atLimit) {
        std::fprintf(stderr,
                     "tarvik-oid: %s: the reply needs more than %u bytes, the most one query "
                     "carries over the driver channel\n",
                     what, kLargestLength);
        return 1;
    }
    return Fail(what, static_cast<std::uint32_t>(result));
}

int RunQuery(int argc, char** argv) {
    if (argc < 4) return Usage("query needs DEVICE and OID");
    std::string device;
    if (!ResolveDevice(argv[2], device)) return Usage("no such device or binding index");
    const auto oid = ndis::ParseOidText(argv[3]);
    if (!oid) return Usage("unknown OID");
    std::uint32_t length = kDefaultLength;
    bool growable = true, direct = false, decode = false;
    for (int i = 4; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--length" && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long n = std::strtoul(argv[++i], &end, 0);
            if (*end != '\0') return Usage("bad --length");
            if (n > kLargestLength) {
                const std::string limit = "--length is at most " + std::to_string(kLargestLength) +
                                          " bytes, the most one query carries";
                return Usage(limit.c_str());
            }
            length = static_cast<std::uint32_t>(n);
            growable = false;
        } else if (arg == "--direct") {
            direct = true;
        } else if (arg == "--hex") {
            decode = false;
        } else if (arg == "--decode") {
            decode = true;
        } else {
            return Usage(("unknown option " + arg).c_str());
        }
    }
    std::vector<std::uint8_t> data;
    bool atLimit = false;
    const Result result = Query(device, *oid, direct, length, growable, data, atLimit);
    if (result != 0) return FailQuery("query failed", result, atLimit);
    const std::string text =
        decode ? oidtool::DecodeReply(*oid, data) : oidtool::HexLine(data) + "\n";
    std::fputs(text.c_str(), stdout);
    return 0;
}

int RunSet(int argc, char** argv) {
    if (argc != 5) return Usage("set needs DEVICE, OID and HEXBYTES");
    std::string device;
    if (!ResolveDevice(argv[2], device)) return Usage("no such device or binding index");
    const auto oid = ndis::ParseOidText(argv[3]);
    if (!oid) return Usage("unknown OID");
    const auto bytes = oidtool::ParseHex(argv[4]);
    if (!bytes) return Usage("HEXBYTES is not hex");
    std::uint32_t error = 0;
    DriverHandle handle = OpenChannel(device, error);
    if (!handle) return Fail("cannot open the device", error);
    CDriverGate gate;
    const Result result = SetOid(handle, &gate, *oid, bytes->empty() ? nullptr : bytes->data(),
                                 static_cast<std::uint32_t>(bytes->size()), nullptr);
    if (result != 0) return Fail("set failed", static_cast<std::uint32_t>(result));
    return 0;
}

int RunScan(int argc, char** argv) {
    if (argc < 3) return Usage("scan needs DEVICE");
    std::string device;
    if (!ResolveDevice(argv[2], device)) return Usage("no such device or binding index");
    int waitMs = kDefaultScanWaitMs;
    if (argc == 5 && std::string(argv[3]) == "--wait") {
        waitMs = std::atoi(argv[4]);
    } else if (argc != 3) {
        return Usage("scan takes only --wait MS");
    }
    std::uint32_t error = 0;
    DriverHandle handle = OpenChannel(device, error);
    if (!handle) return Fail("cannot open the device", error);
    CDriverGate gate;
    Result result = SetOid(handle, &gate, ndis::OID_802_11_BSSID_LIST_SCAN, nullptr, 0, nullptr);
    if (result != 0) return Fail("scan request failed", static_cast<std::uint32_t>(result));
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(waitMs, 0)));
    std::vector<std::uint8_t> data;
    bool atLimit = false;
    result = Query(device, ndis::OID_802_11_BSSID_LIST, false, kDefaultLength, true, data, atLimit);
    if (result != 0) return FailQuery("BSSID list query failed", result, atLimit);
    std::fputs(oidtool::DecodeBssidList(data).c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        PrintUsage(stdout);
        return 0;
    }
    if (command == "bindings")
        return argc == 2 ? RunBindings() : Usage("bindings takes no arguments");
    if (command == "query") return RunQuery(argc, argv);
    if (command == "set") return RunSet(argc, argv);
    if (command == "scan") return RunScan(argc, argv);
    if (command == "watch") return oidtool::RunWatch(argc - 1, argv + 1);
    return Usage(("unknown command " + command).c_str());
}
