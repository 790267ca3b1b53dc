#include "ui/QtProgressDisplay.h"

#include <algorithm>

namespace tarvik::ui {

namespace {
constexpr int kSteps = 1000;
}

void QtProgressDisplay::Begin(const std::string& label) {
    End();
    dialog_ = new QProgressDialog(QString::fromStdString(label), QStringLiteral("Cancel"), 0,
                                  kSteps, parent_);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(kProgressDelayMs);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setValue(0);
}

bool QtProgressDisplay::Report(std::uint64_t done, std::uint64_t total) {
    const QPointer<QProgressDialog> shown = dialog_;
    if (!shown) return true;
    const std::uint64_t part =
        total == 0 ? kSteps : std::min<std::uint64_t>(done, total) * kSteps / total;
    // A modal dialog handles the window's events here, Cancel included; the
    // work may even end meanwhile (End defers the deletion for that).
    shown->setValue(static_cast<int>(part));
    return !(shown && shown->wasCanceled());
}

void QtProgressDisplay::End() {
    if (!dialog_) return;
    dialog_->hide();
    dialog_->deleteLater();
    dialog_ = nullptr;
}

}  // namespace tarvik::ui
