// The in-memory tree of one hive: keys by path, each with its typed values.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/RegValue.h"

namespace tarvik {

// Paths are backslash-separated and relative to the hive's root; "" is the root
// itself, which always exists. Empty components (doubled, leading or trailing
// backslashes) are dropped. Key and value names compare ASCII case-insensitively;
// a key keeps the spelling it was created with.
class RegHive {
  public:
    struct Key {
        std::string path;              // as first created, "" for the root
        std::vector<RegValue> values;  // in insertion order
        // Folded value name to its position in `values`, so large keys load in linear time.
        std::unordered_map<std::string, std::size_t> index;
    };

    RegHive();

    // The canonical spelling of a path, or nothing when a component holds a
    // control character (those cannot be written to a hive file).
    static std::optional<std::string> NormalizePath(std::string_view path);
    // Value names may hold anything but line breaks and NUL.
    static bool IsValidValueName(std::string_view name);

    bool HasKey(std::string_view path) const;
    // Creates the key and its missing parents; false for an invalid path or one
    // beyond the limits of RegLimits.h.
    bool CreateKey(std::string_view path);
    // Deletes the key with all its subkeys; false when it did not exist.
    // Deleting the root empties the hive.
    bool DeleteKey(std::string_view path);

    const RegValue* FindValue(std::string_view path, std::string_view name) const;
    // Creates the key when missing; replaces the data of a value of the same name
    // in place, keeping that value's spelling of the name. False (and nothing
    // changed) for an invalid name or path or a value beyond the limits.
    bool SetValue(std::string_view path, RegValue value);
    bool DeleteValue(std::string_view path, std::string_view name);

    // Immediate subkey names, sorted case-insensitively.
    std::vector<std::string> Subkeys(std::string_view path) const;
    std::vector<RegValue> Values(std::string_view path) const;

    // The key and all its subkeys, parents before children, siblings sorted
    // case-insensitively; empty when the key does not exist.
    std::vector<const Key*> Subtree(std::string_view path) const;

    bool operator==(const RegHive& other) const;

  private:
    static std::string SortKey(std::string_view normalizedPath);
    Key* Find(std::string_view path);
    const Key* Find(std::string_view path) const;

    // By folded path with the separator mapped below every other byte, so that a
    // key's subtree is one contiguous run right after it.
    std::map<std::string, Key> keys_;
};

}  // namespace tarvik
