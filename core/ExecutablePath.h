// Where the running program lives, in the forms the rest of the system asks for.
#pragma once

#include <string>
#include <string_view>

namespace tarvik {

// Full path of the running executable (from /proc/self/exe); empty when unknown.
std::string ExecutablePath();

// The path up to, not including, its last '/'; empty when there is none.
std::string FolderOf(std::string_view path);

// The last path component without its extension ("/opt/tarvik/bin/tarvik" -> "tarvik").
std::string FileStemOf(std::string_view path);

}  // namespace tarvik
