// Helpers for the security-element tests: hex bytes and a recorder of the
// supplicant debug output.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "connect/WpaDebug.h"
#include "tests/support/HexBytes.h"

namespace tarvik::testing_support {

// Records every debug message (level, text) written while it lives.
struct DebugRecorder {
    DebugRecorder() {
        SetWpaDebugObserver(
            [this](int level, const std::string& text) { lines.emplace_back(level, text); });
    }
    ~DebugRecorder() { SetWpaDebugObserver({}); }
    DebugRecorder(const DebugRecorder&) = delete;  // the observer holds its address
    DebugRecorder& operator=(const DebugRecorder&) = delete;

    // The texts joined with '\n'.
    std::string Text() const {
        std::string all;
        for (const auto& line : lines) all += (all.empty() ? "" : "\n") + line.second;
        return all;
    }

    std::vector<std::pair<int, std::string>> lines;
};

}  // namespace tarvik::testing_support
