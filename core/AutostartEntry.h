// The XDG autostart desktop entry that makes desktop sessions start Tarvik at
// login, beside the Run value kept in the user hive.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarvik {

// $XDG_CONFIG_HOME/autostart/tarvik.desktop ($HOME/.config when unset or not
// absolute); empty when neither is known.
std::filesystem::path AutostartEntryPath();

// One argument of an Exec key: double-quoted with the desktop-entry escapes.
std::string QuoteExecArgument(std::string_view argument);

// The entry's text for starting `executablePath` with "/login".
std::string AutostartEntryText(const std::string& executablePath);

// Writes the entry atomically; false with `error` set when it could not.
bool WriteAutostartEntry(const std::string& executablePath, std::string& error);

// Removes the entry; a missing entry is not an error.
bool RemoveAutostartEntry();

}  // namespace tarvik
