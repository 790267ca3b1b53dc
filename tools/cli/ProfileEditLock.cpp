#include "tools/cli/ProfileEditLock.h"

#include "platform/SingleInstance.h"

namespace tarvik::cli {

std::string CProfileEditLock::Take() {
    const CSingleInstance window;  // only for the name of its lock file
    if (!PreparePrivateFolder(window.Folder()).empty()) return {};
    if (lock_.Take(window.LockPath(), "tarvik-cli") != LockOutcome::HeldElsewhere) {
        return {};
    }
    return "Tarvik is running and keeps its own copy of the profiles; change them there, or "
           "close it first.";
}

}  // namespace tarvik::cli
