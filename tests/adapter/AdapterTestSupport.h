// Shared scaffolding of the adapter tests: hives and log in a temporary
// folder, a combo box that records what it was told, and a settable clock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "../core/LogCapture.h"
#include "adapter/AdapterList.h"

namespace tarvik::testing {

struct FakeCombo : IAdapterCombo {
    struct Item {
        std::string text;
        CAdapter* adapter;
    };
    std::vector<Item> items;
    int selection = -1;

    void ResetContent() override {
        items.clear();
        selection = -1;
    }
    int AddItem(const std::string& text, CAdapter* adapter) override {
        items.push_back({text, adapter});
        return static_cast<int>(items.size()) - 1;
    }
    void SetCurrentSelection(int index) override { selection = index; }
    int GetCurrentSelection() const override { return selection; }
    std::string GetItemText(int index) const override {
        return index >= 0 && index < static_cast<int>(items.size()) ? items[index].text : "";
    }
};

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline std::size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

}  // namespace tarvik::testing
