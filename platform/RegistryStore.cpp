#include "platform/RegistryStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

namespace tarvik {

namespace {

// A cached file younger than this at the time it was read may be changed again
// within the file system's timestamp granularity without a visible difference,
// so it is re-read until it is older.
constexpr std::int64_t kRacyWindowNs = 2'000'000'000;

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void(const std::string&)>& Sink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}

void Report(const std::vector<std::string>& messages) {
    if (messages.empty()) return;
    std::function<void(const std::string&)> sink;
    {
        std::lock_guard<std::mutex> lock(SinkMutex());
        sink = Sink();
    }
    for (const std::string& message : messages) {
        if (sink) {
            sink(message);
        } else {
            std::fprintf(stderr, "%s\n", message.c_str());
        }
    }
}

std::string Timestamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%d-%H%M%S", &local);
    return buffer;
}

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    struct passwd pw;
    struct passwd* result = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &pw, buffer, sizeof buffer, &result) == 0 && result) {
        return result->pw_dir;
    }
    return "/";
}

// Lines listed in a report before the rest are only counted.
constexpr std::size_t kListedLines = 20;

// A name beside `file` that is not taken yet: "<file><infix><timestamp>[-N]".
std::filesystem::path FreeNameBeside(const std::filesystem::path& file, const std::string& infix) {
    std::string base = file.string() + infix + Timestamp();
    std::string target = base;
    struct stat st;
    for (int n = 2; ::lstat(target.c_str(), &st) == 0; ++n) {
        target = base + "-" + std::to_string(n);
    }
    return target;
}

}  // namespace

std::string RegDamageReport::Describe() const {
    std::string lines;
    for (std::size_t i = 0; i < skipped.size() && i < kListedLines; ++i) {
        if (i > 0) lines += ", ";
        lines += std::to_string(skipped[i].line);
    }
    if (skipped.size() > kListedLines) {
        lines += " and " + std::to_string(skipped.size() - kListedLines) + " more";
    }
    std::string text = "The registry file " + file.string() +
                       " was damaged: " + (skipped.size() == 1 ? "line " : "lines ") + lines +
                       " could not be read (";
    if (!skipped.empty()) {
        text += "line " + std::to_string(skipped[0].line) + ": " + skipped[0].message;
    }
    text += ") and " + std::string(skipped.size() == 1 ? "was" : "were") +
            " skipped; every other key and value is in use";
    if (!copy.empty()) text += ", and the original file was kept as " + copy.string();
    if (!problem.empty()) {
        text += ", but the file was not repaired (" + problem + "), so nothing will be saved to it";
    }
    return text + ".";
}

RegistryStore::RegistryStore(std::filesystem::path file, std::string rootName, mode_t mode)
    : file_(std::move(file)), rootName_(std::move(rootName)), mode_(mode) {}

std::filesystem::path RegistryStore::DefaultUserHivePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are invalid by the XDG rules and ignored.
    std::filesystem::path config = (xdg && xdg[0] == '/')
                                       ? std::filesystem::path(xdg)
                                       : std::filesystem::path(HomeDirectory()) / ".config";
    return config / "tarvik" / "user.reg";
}

std::filesystem::path RegistryStore::DefaultMachineHivePath() {
    const char* hive = std::getenv("TARVIK_MACHINE_HIVE");
    return (hive && *hive) ? std::filesystem::path(hive)
                           : std::filesystem::path("/etc/tarvik/machine.reg");
}

RegistryStore& RegistryStore::CurrentUser() {
    static RegistryStore store(DefaultUserHivePath(), "HKEY_CURRENT_USER");
    return store;
}

RegistryStore& RegistryStore::LocalMachine() {
    // World-readable: every user reads the install folder and manual path from it.
    static RegistryStore store(DefaultMachineHivePath(), "HKEY_LOCAL_MACHINE", 0644);
    return store;
}

void RegistryStore::ResetDefaultHives() {
    CurrentUser().Retarget(DefaultUserHivePath());
    LocalMachine().Retarget(DefaultMachineHivePath());
}

void RegistryStore::SetErrorSink(std::function<void(const std::string&)> sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    Sink() = std::move(sink);
}

void RegistryStore::Retarget(std::filesystem::path file) {
    std::lock_guard<std::mutex> lock(mutex_);
    file_ = std::move(file);
    hive_ = RegHive();
    cacheValid_ = false;
    reportedIdentity_.reset();
    damage_.reset();
}

std::filesystem::path RegistryStore::LockPath() const {
    return std::filesystem::path(file_.string() + ".lock");
}

void RegistryStore::ReportOnceLocked(const FileIdentity& identity, std::string message,
                                     Messages& messages) {
    if (reportedIdentity_ && *reportedIdentity_ == identity) return;
    reportedIdentity_ = identity;
    messages.push_back(std::move(message));
}

void RegistryStore::RefreshLocked(Messages& messages) {
    if (cacheValid_) {
        FileIdentity now = StatIdentity(file_);
        bool settled = !now.Exists() || loadedAtNs_ - now.mtimeNs >= kRacyWindowNs;
        if (now == identity_ && settled) return;
    }
    LoadLocked(false, messages);
}

// Loads the file into hive_, skipping bad lines. False when the file must not be
// written: unreadable (hive_ is empty then), or damaged and not repaired.
bool RegistryStore::LoadLocked(bool haveFileLock, Messages& messages) {
    std::int64_t startedNs = RealtimeNs();
    std::string data;
    int error = 0;
    FileIdentity identity;
    hive_ = RegHive();
    cacheValid_ = true;
    loadedAtNs_ = startedNs;
    if (!ReadWholeFile(file_, data, error, &identity, kMaxHiveFileSize)) {
        identity_ = StatIdentity(file_);
        if (error == ENOENT) return true;
        ReportOnceLocked(identity_,
                         "The registry file " + file_.string() + " could not be read (" +
                             ErrnoText(error) + "), so its values are not in use.",
                         messages);
        return false;
    }
    identity_ = identity;
    if (data.empty()) return true;  // a new, empty file holds no keys yet

    RegDamageReport damage;
    damage.file = file_;
    std::vector<RegOp> ops;
    ParseRegFile(data, ops, damage.skipped, true);
    for (const RegOp& op : ops) {
        if (EqualsNoCase(op.root, rootName_)) {
            ApplyRegOp(hive_, op);
        } else {
            damage.skipped.push_back({op.line, "the key is not under " + rootName_});
        }
    }
    if (damage.skipped.empty()) {
        reportedIdentity_.reset();
        return true;
    }
    std::stable_sort(
        damage.skipped.begin(), damage.skipped.end(),
        [](const RegParseError& a, const RegParseError& b) { return a.line < b.line; });
    if (haveFileLock) return RepairLocked(data, std::move(damage), messages);

    // Repairing needs the lock, and another process may have replaced the file
    // meanwhile: look again while holding it.
    FileLock lock;
    if (lock.Acquire(LockPath(), damage.problem, FolderModeFor(mode_))) {
        return LoadLocked(true, messages);
    }
    ReportDamageOnceLocked(std::move(damage), messages);
    return false;
}

// Keeps the original beside the file and rewrites the file with what could be read,
// so that the damage is reported once and later writes lose nothing of the original.
bool RegistryStore::RepairLocked(const std::string& original, RegDamageReport damage,
                                 Messages& messages) {
    std::filesystem::path copy = FreeNameBeside(file_, ".bad-");
    std::string error;
    if (!WriteFileAtomically(copy, original, mode_, error)) {
        damage.problem = "no copy of it could be kept: " + error;
        ReportDamageOnceLocked(std::move(damage), messages);
        return false;
    }
    damage.copy = copy;
    if (!WriteHiveLocked(hive_, error)) {
        damage.problem = error;
        ReportDamageOnceLocked(std::move(damage), messages);
        return false;
    }
    reportedIdentity_.reset();
    messages.push_back(damage.Describe());
    damage_ = std::move(damage);
    return true;
}

void RegistryStore::ReportDamageOnceLocked(RegDamageReport damage, Messages& messages) {
    if (reportedIdentity_ && *reportedIdentity_ == identity_) return;
    reportedIdentity_ = identity_;
    messages.push_back(damage.Describe());
    damage_ = std::move(damage);
}

// Writes the hive to the file; false with `error` set when it could not be written
// or would be too large to read back.
bool RegistryStore::WriteHiveLocked(const RegHive& hive, std::string& error) {
    std::string text = FormatRegFile(hive, rootName_);
    if (text.size() > kMaxHiveFileSize) {
        error = "it would grow to " + std::to_string(text.size() >> 20) + " MiB, more than the " +
                std::to_string(kMaxHiveFileSize >> 20) + " MiB that can be read back";
        return false;
    }
    std::filesystem::path target;
    if (ResolveLinks(file_, target, error)) RemoveStaleTemporaryFiles(target);
    FileIdentity written;
    if (!WriteFileAtomically(file_, text, mode_, error, &written)) return false;
    identity_ = written;
    loadedAtNs_ = RealtimeNs();
    return true;
}

RegistryStore::Outcome RegistryStore::Update(const std::function<Change(RegHive&)>& change,
                                             const std::string& what) {
    Messages messages;
    Outcome outcome;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        outcome = UpdateLocked(change, what, messages);
    }
    Report(messages);
    return outcome;
}

RegistryStore::Outcome RegistryStore::UpdateLocked(const std::function<Change(RegHive&)>& change,
                                                   const std::string& what, Messages& messages) {
    const std::string notSaved = ", so " + what + " was not saved.";
    FileLock lock;
    std::string error;
    if (!lock.Acquire(LockPath(), error, FolderModeFor(mode_))) {
        messages.push_back("The registry file " + file_.string() + " could not be written (" +
                           error + ")" + notSaved);
        return Outcome::Failed;
    }
    if (!LoadLocked(true, messages)) {
        messages.push_back("The registry file " + file_.string() +
                           " was not written because its current contents could not be read" +
                           notSaved);
        return Outcome::Failed;
    }
    RegHive updated = hive_;
    if (change(updated) == Change::None || updated == hive_) return Outcome::Unchanged;
    if (!WriteHiveLocked(updated, error)) {
        messages.push_back("The registry file " + file_.string() + " could not be written (" +
                           error + ")" + notSaved);
        return Outcome::Failed;
    }
    hive_ = std::move(updated);
    return Outcome::Written;
}

// Names that a hive file cannot hold are refused before the hive is touched.
bool RegistryStore::CheckNames(const std::string& key, const RegValue* value,
                               const std::string& what) {
    auto path = RegHive::NormalizePath(key);
    if (!path || (value && !RegHive::IsValidValueName(value->name))) {
        Report({"The change to " + what +
                " was not saved because a key or value name in it holds a control character "
                "or line break."});
        return false;
    }
    std::string problem = CheckKeyPathLimits(*path);
    if (problem.empty() && value) problem = CheckValueLimits(*value);
    if (problem.empty()) return true;
    Report({"The change to " + what.substr(0, 300) + " was not saved because " + problem + "."});
    return false;
}

std::optional<RegValue> RegistryStore::ReadValue(const std::string& key, const std::string& name) {
    Messages messages;
    std::optional<RegValue> result;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        RefreshLocked(messages);
        if (const RegValue* value = hive_.FindValue(key, name)) result = *value;
    }
    Report(messages);
    return result;
}

std::uint32_t RegistryStore::ReadDword(const std::string& key, const std::string& name,
                                       std::uint32_t defaultValue) {
    auto value = ReadValue(key, name);
    return (value && value->type == RegType::Dword) ? value->dword : defaultValue;
}

std::string RegistryStore::ReadString(const std::string& key, const std::string& name,
                                      const std::string& defaultValue) {
    auto value = ReadValue(key, name);
    return (value && value->type == RegType::String) ? value->text : defaultValue;
}

std::optional<std::vector<std::uint8_t>> RegistryStore::ReadBinary(const std::string& key,
                                                                   const std::string& name) {
    auto value = ReadValue(key, name);
    if (!value || value->type != RegType::Binary) return std::nullopt;
    return std::move(value->bytes);
}

bool RegistryStore::WriteValue(const std::string& key, const RegValue& value) {
    std::string what = "the value " + rootName_ + "\\" + key + "\\" + value.name;
    if (!CheckNames(key, &value, what)) return false;
    if (value.type == RegType::String && !IsWritableString(value.text)) {
        Report({"The change to " + what +
                " was not saved because its text holds a line break or NUL together with "
                "bytes that are not UTF-8."});
        return false;
    }
    return Update(
               [&](RegHive& hive) {
                   if (const RegValue* old = hive.FindValue(key, value.name)) {
                       RegValue probe = value;
                       probe.name = old->name;
                       if (*old == probe) return Change::None;
                   }
                   hive.SetValue(key, value);
                   return Change::Changed;
               },
               what) != Outcome::Failed;
}

bool RegistryStore::WriteDword(const std::string& key, const std::string& name,
                               std::uint32_t value) {
    return WriteValue(key, RegValue::MakeDword(name, value));
}

bool RegistryStore::WriteString(const std::string& key, const std::string& name,
                                const std::string& value) {
    return WriteValue(key, RegValue::MakeString(name, value));
}

bool RegistryStore::WriteBinary(const std::string& key, const std::string& name,
                                const std::vector<std::uint8_t>& value) {
    return WriteValue(key, RegValue::MakeBinary(name, value));
}

bool RegistryStore::CreateKey(const std::string& key) {
    std::string what = "the key " + rootName_ + "\\" + key;
    if (!CheckNames(key, nullptr, what)) return false;
    return Update(
               [&](RegHive& hive) {
                   if (hive.HasKey(key)) return Change::None;
                   hive.CreateKey(key);
                   return Change::Changed;
               },
               what) != Outcome::Failed;
}

bool RegistryStore::DeleteValue(const std::string& key, const std::string& name) {
    return Update(
               [&](RegHive& hive) {
                   return hive.DeleteValue(key, name) ? Change::Changed : Change::None;
               },
               "the deletion of the value " + rootName_ + "\\" + key + "\\" + name) ==
           Outcome::Written;
}

bool RegistryStore::DeleteKey(const std::string& key) {
    return Update(
               [&](RegHive& hive) { return hive.DeleteKey(key) ? Change::Changed : Change::None; },
               "the deletion of the key " + rootName_ + "\\" + key) == Outcome::Written;
}

bool RegistryStore::KeyExists(const std::string& key) {
    Messages messages;
    bool exists;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        RefreshLocked(messages);
        exists = hive_.HasKey(key);
    }
    Report(messages);
    return exists;
}

std::vector<std::string> RegistryStore::EnumerateSubkeys(const std::string& key) {
    Messages messages;
    std::vector<std::string> names;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        RefreshLocked(messages);
        names = hive_.Subkeys(key);
    }
    Report(messages);
    return names;
}

std::vector<RegValue> RegistryStore::EnumerateValues(const std::string& key) {
    Messages messages;
    std::vector<RegValue> values;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        RefreshLocked(messages);
        values = hive_.Values(key);
    }
    Report(messages);
    return values;
}

RegHive RegistryStore::Snapshot() {
    Messages messages;
    RegHive copy;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        RefreshLocked(messages);
        copy = hive_;
    }
    Report(messages);
    return copy;
}

bool RegistryStore::Modify(const std::function<void(RegHive&)>& change, const std::string& what) {
    return Update(
               [&](RegHive& hive) {
                   change(hive);
                   return Change::Changed;
               },
               what) != Outcome::Failed;
}

std::optional<RegDamageReport> RegistryStore::TakeDamageReport() {
    Messages messages;
    std::optional<RegDamageReport> damage;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        RefreshLocked(messages);
        damage.swap(damage_);
    }
    Report(messages);
    return damage;
}

bool RegistryStore::CheckWritable(std::string& problem) {
    std::lock_guard<std::mutex> guard(mutex_);
    FileLock lock;
    if (!lock.Acquire(LockPath(), problem)) return false;
    // A write goes to the end of a chain of links, so that is where it must fit.
    std::filesystem::path target;
    if (!ResolveLinks(file_, target, problem)) return false;
    std::string probe = target.string() + ".tmp-XXXXXX";
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) {
        problem = "cannot create a file beside " + target.string() + ": " + ErrnoText(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

}  // namespace tarvik
