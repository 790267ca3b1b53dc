// Helpers for the security-element tests: hex bytes and a recorder of the
// supplicant debug output.
#pragma once

#include <string>
#include <vector>

#include "connect/WpaDebug.h"

#include "tests/support/HexBytes.h"

namespace tarvik::testing_support {

// Records every debug message written while it lives.
class DebugRecorder {
  public:
    struct Line {
        int level;
        std::string text;
    };
    DebugRecorder() {
        SetWpaDebugObserver([this](int level, const std::string& text) {
            lines_.push_back({level, text});
        });
    }
    ~DebugRecorder() { SetWpaDebugObserver({}); }
    DebugRecorder(const DebugRecorder&) = delete;
    DebugRecorder& operator=(const DebugRecorder&) = delete;

    const std::vector<Line>& Lines() const { return lines_; }
    // The texts, one per line, joined with '\n'.
    std::string Text() const {
        std::string all;
        for (const Line& line : lines_) all += (all.empty() ? "" : "\n") + line.text;
        return all;
    }

  private:
    std::vector<Line> lines_;
};

}  // namespace tarvik::testing_support
