// The registry stand-in: a hive of keys and typed values kept as a
// registry-editor text file ("Windows Registry Editor Version 5.00").
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/RegHive.h"
#include "platform/RegLimits.h"
#include "platform/RegText.h"
#include "platform/RegValue.h"

namespace tarvik {

// Lines of a hive file that could not be read and were skipped.
struct RegDamageReport {
    std::filesystem::path file;
    std::filesystem::path copy;          // the original file, kept; empty when none was made
    std::vector<RegParseError> skipped;  // in file order
    std::string problem;                 // why nothing was repaired; empty when it was

    // One English sentence naming the file, the skipped line numbers and the copy.
    std::string Describe() const;
};

// Key paths are backslash-separated and relative to the hive's root, e.g.
// "Software\\Tarvik\\tarvik\\Settings". Key names compare case-insensitively,
// as in the Windows registry; value names too.
//
// Every write takes an exclusive lock on "<file>.lock" (never through a symbolic link),
// re-reads the file, applies the change and replaces the file atomically with the
// hive's mode (0600 user, 0644 machine) in one write; a symbolic link at <file> is kept
// and its target replaced. No write may break the limits of RegLimits.h or make the
// file larger than the store reads. Reads re-read the file only when it changed
// (device, inode, size and times), so they cost one stat() when it did not.
// A file with bad lines is read without them: the original is kept as
// "<file>.bad-YYYYMMDD-HHMMSS", the file is rewritten with every well-formed key and
// value, and the damage is reported once to the error sink and kept for
// TakeDamageReport(). All operations are thread-safe.
class RegistryStore {
  public:
    // The hive's root name as written in the file's key lines; `mode` is the file's.
    RegistryStore(std::filesystem::path file, std::string rootName, mode_t mode = 0600);

    // Per-user hive: $XDG_CONFIG_HOME/tarvik/user.reg (~/.config/... when unset).
    static RegistryStore& CurrentUser();
    // Per-machine hive: $TARVIK_MACHINE_HIVE, else /etc/tarvik/machine.reg.
    static RegistryStore& LocalMachine();
    // Re-resolves both hive paths from the environment (tests change it). Must not
    // run while another thread uses either hive.
    static void ResetDefaultHives();
    static std::filesystem::path DefaultUserHivePath();
    static std::filesystem::path DefaultMachineHivePath();

    // The damage found in the file since the last call, if any; each damaged file
    // is reported once. Loads the file when it was not loaded yet.
    std::optional<RegDamageReport> TakeDamageReport();

    // Receives one English sentence per problem (damaged lines skipped,
    // write failure); the event log installs itself here. Without a sink the
    // sentences go to standard error. The sink is called with no lock held.
    static void SetErrorSink(std::function<void(const std::string&)> sink);

    const std::filesystem::path& FilePath() const { return file_; }
    const std::string& RootName() const { return rootName_; }

    std::uint32_t ReadDword(const std::string& key, const std::string& name,
                            std::uint32_t defaultValue);
    std::string ReadString(const std::string& key, const std::string& name,
                           const std::string& defaultValue);
    std::optional<std::vector<std::uint8_t>> ReadBinary(const std::string& key,
                                                        const std::string& name);
    std::optional<RegValue> ReadValue(const std::string& key, const std::string& name);

    // Writes create missing keys. Each returns false when the hive could not be
    // written, a key or value name holds a control character or line break, or a
    // string could not be read back unchanged (text with a line break must be UTF-8);
    // the failure is also reported to the error sink. Writing a value identical to the stored one
    // writes nothing.
    bool WriteDword(const std::string& key, const std::string& name, std::uint32_t value);
    bool WriteString(const std::string& key, const std::string& name, const std::string& value);
    bool WriteBinary(const std::string& key, const std::string& name,
                     const std::vector<std::uint8_t>& value);
    bool WriteValue(const std::string& key, const RegValue& value);
    bool CreateKey(const std::string& key);

    // False when the value or key did not exist or the hive could not be written.
    bool DeleteValue(const std::string& key, const std::string& name);
    bool DeleteKey(const std::string& key);  // with all its subkeys

    bool KeyExists(const std::string& key);
    std::vector<std::string> EnumerateSubkeys(const std::string& key);
    std::vector<RegValue> EnumerateValues(const std::string& key);

    // The whole hive as it is now.
    RegHive Snapshot();
    // Applies `change` to the current contents under the file lock and writes the
    // result once: a batch of changes in one step (a change that leaves the hive as
    // it was writes nothing). False when the hive could not be written.
    // `what` names the data in the failure report ("..., so <what> was not saved.").
    bool Modify(const std::function<void(RegHive&)>& change,
                const std::string& what = "the imported data");
    // Whether a write could be made now: the folder exists or can be made, a file
    // can be created in it and its lock can be taken. False with the reason in
    // `problem`; nothing is written and no lock stays held. Lets a caller that
    // changes several hives check them all before it writes any.
    bool CheckWritable(std::string& problem);

  private:
    enum class Change { None, Changed };
    enum class Outcome { Written, Unchanged, Failed };
    using Messages = std::vector<std::string>;

    Outcome Update(const std::function<Change(RegHive&)>& change, const std::string& what);
    Outcome UpdateLocked(const std::function<Change(RegHive&)>& change, const std::string& what,
                         Messages& messages);
    static bool CheckNames(const std::string& key, const RegValue* value, const std::string& what);
    void RefreshLocked(Messages& messages);
    bool LoadLocked(bool haveFileLock, Messages& messages);
    bool RepairLocked(const std::string& original, RegDamageReport damage, Messages& messages);
    void ReportDamageOnceLocked(RegDamageReport damage, Messages& messages);
    void ReportOnceLocked(const FileIdentity& identity, std::string message, Messages& messages);
    bool WriteHiveLocked(const RegHive& hive, std::string& error);
    void Retarget(std::filesystem::path file);
    std::filesystem::path LockPath() const;

    std::filesystem::path file_;
    std::string rootName_;
    mode_t mode_;
    std::mutex mutex_;
    // Cached contents, valid while the file keeps the identity it was read with.
    RegHive hive_;
    FileIdentity identity_;
    std::int64_t loadedAtNs_ = 0;
    bool cacheValid_ = false;
    // The problem last reported for this identity, so each is reported once.
    std::optional<FileIdentity> reportedIdentity_;
    std::optional<RegDamageReport> damage_;  // not yet taken
};

}  // namespace tarvik
