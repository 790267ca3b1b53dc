// Helpers for the security-element tests: hex bytes and a recorder of the
// supplicant debug output.
#pragma once

#include <string>
#include <vector>

#include "connect/WpaDebug.h"

namespace tarvik::testing_support {

using Bytes = std::vector<std::uint8_t>;

// Hex digits to bytes; blanks are ignored.
inline Bytes Hex(std::string text) {
    std::erase(text, ' ');
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return out;
}

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
