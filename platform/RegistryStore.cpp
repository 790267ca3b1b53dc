#include "platform/RegistryStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "platform/RegText.h"

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

}  // namespace

RegistryStore::RegistryStore(std::filesystem::path file, std::string rootName)
    : file_(std::move(file)), rootName_(std::move(rootName)) {}

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
    static RegistryStore store(DefaultMachineHivePath(), "HKEY_LOCAL_MACHINE");
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

// Loads the file into hive_. False when its contents are not available (unreadable,
// or damaged and not set aside); hive_ is empty then and must not be written.
bool RegistryStore::LoadLocked(bool haveFileLock, Messages& messages) {
    std::int64_t startedNs = RealtimeNs();
    std::string data;
    int error = 0;
    FileIdentity identity;
    hive_ = RegHive();
    cacheValid_ = true;
    loadedAtNs_ = startedNs;
    if (!ReadWholeFile(file_, data, error, &identity)) {
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

    std::vector<RegOp> ops;
    RegParseError parseError;
    bool parsed = ParseRegFile(data, ops, parseError);
    for (std::size_t i = 0; parsed && i < ops.size(); ++i) {
        if (!EqualsNoCase(ops[i].root, rootName_)) {
            parseError = {ops[i].line, "the key is not under " + rootName_};
            parsed = false;
        }
    }
    if (parsed) {
        for (const RegOp& op : ops) ApplyRegOp(hive_, op);
        reportedIdentity_.reset();
        return true;
    }
    hive_ = RegHive();
    std::string problem = "line " + std::to_string(parseError.line) + ": " + parseError.message;
    if (haveFileLock) return SetAsideLocked(problem, messages);

    // Setting the file aside needs the lock, and another process may have replaced
    // the file meanwhile: look again while holding it.
    FileLock lock;
    std::string lockError;
    if (lock.Acquire(LockPath(), lockError)) return LoadLocked(true, messages);
    ReportOnceLocked(identity_,
                     "The registry file " + file_.string() + " is damaged (" + problem +
                         ") and could not be set aside (" + lockError +
                         "), so its values are not in use.",
                     messages);
    return false;
}

bool RegistryStore::SetAsideLocked(const std::string& problem, Messages& messages) {
    std::string base = file_.string() + ".bad-" + Timestamp();
    std::string target = base;
    struct stat st;
    for (int n = 2; ::lstat(target.c_str(), &st) == 0; ++n) {
        target = base + "-" + std::to_string(n);
    }
    if (::rename(file_.c_str(), target.c_str()) != 0) {
        ReportOnceLocked(identity_,
                         "The registry file " + file_.string() + " is damaged (" + problem +
                             ") and could not be set aside (" + ErrnoText(errno) +
                             "), so its values are not in use.",
                         messages);
        return false;
    }
    messages.push_back("The registry file " + file_.string() + " was damaged (" + problem +
                       ") and was set aside as " + target + ", so default values are used.");
    identity_ = StatIdentity(file_);
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
    if (!lock.Acquire(LockPath(), error)) {
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
    if (change(updated) == Change::None) return Outcome::Unchanged;
    FileIdentity written;
    if (!WriteFileAtomically(file_, FormatRegFile(updated, rootName_), 0600, error, &written)) {
        messages.push_back("The registry file " + file_.string() + " could not be written (" +
                           error + ")" + notSaved);
        return Outcome::Failed;
    }
    hive_ = std::move(updated);
    identity_ = written;
    loadedAtNs_ = RealtimeNs();
    return Outcome::Written;
}

// Names that a hive file cannot hold are refused before the hive is touched.
bool RegistryStore::CheckNames(const std::string& key, const std::string* valueName,
                               const std::string& what) {
    if (RegHive::NormalizePath(key) && (!valueName || RegHive::IsValidValueName(*valueName))) {
        return true;
    }
    Report({"The change to " + what +
            " was not saved because a key or value name in it holds a control character or "
            "line break."});
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
    if (!CheckNames(key, &value.name, what)) return false;
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
               what) == Outcome::Written;
}

bool RegistryStore::CheckWritable(std::string& problem) {
    std::lock_guard<std::mutex> guard(mutex_);
    FileLock lock;
    if (!lock.Acquire(LockPath(), problem)) return false;
    std::string probe = file_.string() + ".tmp-XXXXXX";
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) {
        problem = "cannot create a file beside " + file_.string() + ": " + ErrnoText(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

}  // namespace tarvik
