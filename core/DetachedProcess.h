// Starting a helper program that outlives no one's interest: it runs in its
// own session with its standard streams on /dev/null, is never waited for
// and never becomes a zombie of ours.
#pragma once

#include <string>
#include <vector>

namespace tarvik {

// Starts `program` (a path) with `arguments`. Returns 0 once the program is
// running, else the errno of the step that failed (fork, or exec: 2 when the
// program does not exist, 13 when it may not be run).
int SpawnDetached(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace tarvik
