// The table options of `tarvik-cli watch`: the columns by title and the
// result filter's groups as GROUP=CHOICE.
#pragma once

#include <string>
#include <vector>

#include "networks/NetworkFilter.h"

namespace tarvik::cli {

// The columns of a comma-separated list of titles (case and spaces do not
// matter). Empty when every title names a column; otherwise the one-line
// error, which lists the valid titles.
std::string ParseColumnList(const std::string& list, std::vector<int>& columns);

// Switches on the group of "GROUP=CHOICE" with that choice. Empty when both
// are known; otherwise the one-line error, which lists the valid names.
std::string ParseFilterOption(const std::string& option, NetworkFilterFields& filter);

// The groups and their choices, for the help text.
std::string FilterOptionNames();

}  // namespace tarvik::cli
