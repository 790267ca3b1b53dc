// The simulator's link to its terminal. Whoever opens the link trusts it by
// name, so it is made only in a folder that nobody else may change: a real
// folder (no symbolic link) of this user that neither group nor others may
// write to, as the per-user runtime folder is.
#pragma once

#include <string>

namespace tarvik::gpssim {

// Makes `link` a symbolic link to `target`, replacing an earlier link there.
// A missing folder is created with mode 0700 (its parent must exist). False
// with `error` saying why when the folder cannot be trusted or the link made.
bool MakePrivateLink(const std::string& target, const std::string& link, std::string& error);

}  // namespace tarvik::gpssim
