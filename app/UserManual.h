// Where the User Manual (doc/toc.html) is.
#pragma once

#include <string>

namespace tarvik {

inline constexpr const char* kUserManualRelativePath = "doc/toc.html";

// The manual's path: <INSTInfo>/doc/toc.html when the machine hive names an
// install folder holding it; else <exe folder>/../share/tarvik/doc/toc.html
// (an installed copy); else, for a program run from its build tree, the
// source tree's share/doc/toc.html. "" when none of these exists.
std::string UserManualPath(const std::string& executablePath);

// The same search with the inputs given (tests).
std::string FindUserManual(const std::string& installDirectory, const std::string& executablePath);

}  // namespace tarvik
