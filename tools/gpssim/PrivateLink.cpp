#include "tools/gpssim/PrivateLink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/PeerCredentials.h"

namespace tarvik::gpssim {

bool MakePrivateLink(const std::string& target, const std::string& link, std::string& error) {
    // A bare name lives in the current folder.
    const std::filesystem::path parent = std::filesystem::path(link).parent_path();
    const std::string folder = parent.empty() ? std::string(1, '.') : parent.string();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (const std::string why = CheckPrivateFolder(folder, ::geteuid()); !why.empty()) {
        error = "refusing to make the link " + link + ": " + why +
                "; use a folder only this user may change, such as $XDG_RUNTIME_DIR/tarvik";
        return false;
    }
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        error = "refusing to replace " + link + ", which is not a symbolic link";
        return false;
    }
    ::unlink(link.c_str());
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        error = "cannot make the link " + link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace tarvik::gpssim
