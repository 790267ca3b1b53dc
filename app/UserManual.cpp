#include "app/UserManual.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/DetachedProcess.h"
#include "core/ExecutablePath.h"
#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

bool IsFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// A program run from the build tree reads the manual from the source tree.
std::vector<fs::path> BuildTreeCandidates([[maybe_unused]] const std::string& executablePath) {
#if defined(TARVIK_BUILD_TREE) && defined(TARVIK_SOURCE_SHARE)
    const std::string buildTree = std::string(TARVIK_BUILD_TREE) + "/";
    if (executablePath.compare(0, buildTree.size(), buildTree) == 0) {
        return {fs::path(TARVIK_SOURCE_SHARE) / kUserManualRelativePath};
    }
#endif
    return {};
}

std::string FindInPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        folders = colon == std::string_view::npos ? "" : folders.substr(colon + 1);
        if (folder.empty()) continue;
        const std::string candidate = std::string(folder) + "/" + std::string(program);
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

}  // namespace

std::string FindUserManual(const std::string& installDirectory, const std::string& executablePath) {
    std::vector<fs::path> candidates;
    if (!installDirectory.empty())
        candidates.push_back(fs::path(installDirectory) / kUserManualRelativePath);
    const std::string exeFolder = FolderOf(executablePath);
    if (!exeFolder.empty()) {
        // Resolved by text, as <prefix>/bin/.. means <prefix> for an installed program.
        candidates.push_back(
            (fs::path(exeFolder) / ".." / "share" / "tarvik" / kUserManualRelativePath)
                .lexically_normal());
    }
    for (fs::path& candidate : BuildTreeCandidates(executablePath)) candidates.push_back(candidate);

    for (const fs::path& candidate : candidates) {
        if (IsFile(candidate)) return candidate.lexically_normal().string();
    }
    return {};
}

std::string UserManualPath() {
    // The value alone: the executable's folder is tried as the installed layout instead.
    const std::string installDirectory =
        RegistryStore::LocalMachine().ReadString("SOFTWARE\\Tarvik", "INSTInfo", "");
    return FindUserManual(installDirectory.substr(0, installDirectory.find('\0')),
                          ExecutablePath());
}

bool OpenUserManual() {
    const std::string manual = UserManualPath();
    if (manual.empty()) return false;
    const std::string opener = FindInPath("xdg-open");
    if (opener.empty()) return false;
    return SpawnDetached(opener, {manual}) == 0;
}

}  // namespace tarvik
