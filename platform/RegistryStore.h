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

namespace tarvik {

// Value types, numbered as the Windows registry numbers them.
enum class RegType : std::uint32_t { String = 1, Binary = 3, Dword = 4 };

struct RegValue {
    std::string name;
    RegType type = RegType::Dword;
    std::uint32_t dword = 0;          // RegType::Dword
    std::string text;                 // RegType::String (UTF-8)
    std::vector<std::uint8_t> bytes;  // RegType::Binary
};

// Key paths are backslash-separated and relative to the hive's root, e.g.
// "Software\\Tarvik\\tarvik\\Settings". Key names compare case-insensitively,
// as in the Windows registry; value names too.
class RegistryStore {
public:
    // The hive's root name as written in the file's key lines.
    RegistryStore(std::filesystem::path file, std::string rootName);

    // Per-user hive: $XDG_CONFIG_HOME/tarvik/user.reg (~/.config/... when unset).
    static RegistryStore& CurrentUser();
    // Per-machine hive: $TARVIK_MACHINE_HIVE, else /etc/tarvik/machine.reg.
    static RegistryStore& LocalMachine();
    // Re-resolves both hive paths from the environment (tests change it).
    static void ResetDefaultHives();

    // Receives one English sentence per problem (damaged file set aside,
    // write failure); the event log installs itself here.
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
    // written (the failure is also reported to the error sink).
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

private:
    std::filesystem::path file_;
    std::string rootName_;
    std::mutex mutex_;
};

}  // namespace tarvik
