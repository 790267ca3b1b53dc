#include "app/AdapterClaim.h"

#include "adapter/Adapter.h"
#include "core/EventLog.h"

namespace tarvik {
namespace {

// Device names are short; a longer last part is cut, not trusted.
constexpr std::size_t kMaxLockNameBytes = 80;

// The vendor's description and the device's GUID: two cards of one model
// differ only in the second.
std::string AdapterNameText(const CAdapter& adapter) {
    std::string vendor = adapter.VendorDescription();
    vendor.erase(0, vendor.find_first_not_of(' '));
    vendor.erase(vendor.find_last_not_of(' ') + 1);
    const std::string& device = adapter.DeviceName();
    const std::size_t slash = device.find_last_of('\\');
    const std::string guid = device.substr(slash == std::string::npos ? 0 : slash + 1);
    return vendor.empty() ? guid : vendor + " " + guid;
}

}  // namespace

std::string AdapterLockFileName(const std::string& deviceName) {
    const std::size_t slash = deviceName.find_last_of("\\/");
    std::string name = deviceName.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() > kMaxLockNameBytes) name.resize(kMaxLockNameBytes);
    for (char& c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '{' || c == '}' || c == '-' || c == '_';
        if (!plain) c = '_';
    }
    return "adapter-" + name + ".lock";
}

std::string AdapterRefusalText(const std::string& adapterName, const LockHolder& holder) {
    std::string who;
    if (holder.pid > 0) {
        who = " (" + (holder.program.empty() ? "" : holder.program + ", ") + "process " +
              std::to_string(holder.pid) + ")";
    }
    return "Tarvik is already using adapter " + adapterName + who + "; close it first.";
}

CAdapterClaim::CAdapterClaim(std::filesystem::path folder, std::string program)
    : folder_(std::move(folder)), program_(std::move(program)) {}

std::string CAdapterClaim::Claim(const CAdapter* adapter) {
    if (adapter == nullptr || adapter->DeviceName().empty()) {
        lock_.Release();
        return {};
    }
    if (const std::string why = PreparePrivateFolder(folder_); !why.empty()) {
        lock_.Release();
        LogWarn("Cannot claim the adapter: %s", why.c_str());
        return {};
    }
    const std::filesystem::path path = folder_ / AdapterLockFileName(adapter->DeviceName());
    switch (lock_.Take(path, program_)) {
        case LockOutcome::Taken:
            return {};
        case LockOutcome::Unavailable:
            LogWarn("Cannot claim the adapter: %s", lock_.FailureText().c_str());
            return {};
        case LockOutcome::HeldElsewhere:
            break;
    }
    return AdapterRefusalText(AdapterNameText(*adapter), ReadLockHolder(path));
}

}  // namespace tarvik
