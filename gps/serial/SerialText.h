// Operating-system errors as the port's result codes, and result codes as text.
#pragma once

#include <string>

#include "core/ResultCodes.h"

namespace tarvik {

// The Win32 number for an errno value (unknown ones give ERROR_GEN_FAILURE).
Result ResultFromErrno(int error);

// A short English phrase for a port result ("the port is not open").
std::string DescribeSerialResult(Result result);

}  // namespace tarvik
