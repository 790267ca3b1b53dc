#include "app/UserManual.h"

#include <filesystem>
#include <system_error>
#include <vector>

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

std::string UserManualPath(const std::string& executablePath) {
    // The value alone: the executable's folder is tried as the installed layout instead.
    const std::string installDirectory =
        RegistryStore::LocalMachine().ReadString("SOFTWARE\\Tarvik", "INSTInfo", "");
    return FindUserManual(installDirectory.substr(0, installDirectory.find('\0')), executablePath);
}

}  // namespace tarvik
