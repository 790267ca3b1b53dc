// The adapter chooser of a front end without a display (terminal, command
// line tools): the item texts and the selection only.
#pragma once

#include <string>
#include <vector>

#include "adapter/AdapterList.h"

namespace tarvik {

class CTextAdapterCombo : public IAdapterCombo {
  public:
    void ResetContent() override {
        items_.clear();
        selection_ = -1;
    }
    int AddItem(const std::string& text, CAdapter*) override {
        items_.push_back(text);
        return static_cast<int>(items_.size()) - 1;
    }
    void SetCurrentSelection(int index) override { selection_ = index; }
    int GetCurrentSelection() const override { return selection_; }
    std::string GetItemText(int index) const override {
        return index >= 0 && static_cast<std::size_t>(index) < items_.size() ? items_[index] : "";
    }

  private:
    std::vector<std::string> items_;
    int selection_ = -1;
};

}  // namespace tarvik
