// The two commands of tarvik-regedit: silent import and export of registry files.
#pragma once

#include <ostream>
#include <string>

namespace tarvik {

// Exit codes of the program.
inline constexpr int kRegeditOk = 0;
inline constexpr int kRegeditFailed = 1;
inline constexpr int kRegeditUsage = 2;

// Parses the whole file first, then applies it with one locked write per hive,
// all or nothing: a bad file, or a hive that cannot be written, changes nothing.
// Problems go to `errors`, naming the file and line or the hive.
int ImportRegistryFile(const std::string& file, std::ostream& errors);

// Writes `key` (with its root, e.g. HKEY_CURRENT_USER\Software\Tarvik) and its
// subkeys to `file` in the 5.00 format, UTF-8.
int ExportRegistryKey(const std::string& file, const std::string& key, std::ostream& errors);

}  // namespace tarvik
