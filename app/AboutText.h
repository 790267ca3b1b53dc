// Texts of the About box, the system menu, the window caption and the
// credits dialog.
#pragma once

#include <string>

#include "platform/Version.h"

namespace tarvik {

inline constexpr const char* kMainWindowCaption = "Tarvik";
inline constexpr const char* kSystemMenuAboutText = "&About Tarvik...";
inline constexpr const char* kAboutCaption = "About Tarvik";
inline constexpr const char* kCreditsCaption = "Credits";

// "1.2 Build 063014".
std::string AboutVersionText();
// The static text of the "Credits..." dialog: the libraries Tarvik is built on.
std::string CreditsText();

}  // namespace tarvik
