#include "app/AboutText.h"

namespace tarvik {

std::string AboutVersionText() {
    return std::string(kTarvikVersion) + " Build " + kTarvikBuild;
}

std::string CreditsText() {
    return "Tarvik " + AboutVersionText() +
           "\n\n"
           "Tarvik is built with these libraries, and we thank their authors:\n\n"
           "Qt 6 - the windows, table and charts\n"
           "OpenSSL - the cryptographic primitives of the key handshake\n"
           "libcurl - the version check and vendor look-ups\n"
           "nlohmann-json - the simulated driver's scenario files\n"
           "GoogleTest - the test suites\n"
           "Google Benchmark - the speed measurements\n";
}

}  // namespace tarvik
