// The program's version and build numbers, as shown in the About box and
// written into crash-file names.
#pragma once

namespace tarvik {

inline constexpr const char* kTarvikVersion = "1.2";
inline constexpr const char* kTarvikBuild = "063014";

}  // namespace tarvik
