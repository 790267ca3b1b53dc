#include "ui/StatusLineEdit.h"

#include <QMetaObject>
#include <QThread>

namespace tarvik::ui {

StatusLineEdit::StatusLineEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setObjectName("statusLine");
}

StatusLineEdit::~StatusLineEdit() {
    if (attached_) SetStatusLineSink(nullptr);
}

void StatusLineEdit::Attach() {
    SetStatusLineSink(this);
    attached_ = true;
}

void StatusLineEdit::ShowStatusText(const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (QThread::currentThread() == thread()) {
        setText(shown);
        return;
    }
    // Queued: dropped by Qt if the edit is gone before the event runs.
    QMetaObject::invokeMethod(
        this, [this, shown] { setText(shown); }, Qt::QueuedConnection);
}

}  // namespace tarvik::ui
