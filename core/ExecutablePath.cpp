#include "core/ExecutablePath.h"

#include <limits.h>
#include <unistd.h>

namespace tarvik {

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string FolderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == path.npos) return {};
    return std::string(path.substr(0, slash));
}

std::string FileStemOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    std::string_view name = slash == path.npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != name.npos && dot != 0) name = name.substr(0, dot);
    return std::string(name);
}

}  // namespace tarvik
