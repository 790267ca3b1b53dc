// The status line (control 1011): a read-only one-line edit that shows the
// latest status text. Any thread may set it; the text is posted to the GUI
// thread, never waited for, since the caller holds the status lock.
#pragma once

#include <QLineEdit>

#include "core/StatusLine.h"

namespace tarvik::ui {

class StatusLineEdit : public QLineEdit, public IStatusLineSink {
    Q_OBJECT
  public:
    explicit StatusLineEdit(QWidget* parent = nullptr);
    // Detaches from the status line before the widget goes.
    ~StatusLineEdit() override;
    StatusLineEdit(const StatusLineEdit&) = delete;
    StatusLineEdit& operator=(const StatusLineEdit&) = delete;

    // Attaches this edit as the process's status-line sink.
    void Attach();

    void ShowStatusText(const std::string& text) override;

  private:
    bool attached_ = false;
};

}  // namespace tarvik::ui
