// The progress of a long read or save: a window-modal QProgressDialog that
// appears only once the work has run for a moment, with a Cancel button.
#pragma once

#include <QPointer>
#include <QProgressDialog>

#include "app/ProgressDisplay.h"

namespace tarvik::ui {

// Work that ends sooner shows nothing.
inline constexpr int kProgressDelayMs = 300;

class QtProgressDisplay : public IProgressDisplay {
  public:
    // The parent must outlive the object; it owns the dialogs.
    explicit QtProgressDisplay(QWidget* parent) : parent_(parent) {}
    void Begin(const std::string& label) override;
    bool Report(std::uint64_t done, std::uint64_t total) override;
    void End() override;

  private:
    QWidget* parent_;
    QPointer<QProgressDialog> dialog_;
};

}  // namespace tarvik::ui
