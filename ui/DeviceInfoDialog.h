// The "Device Information" page: read-only value boxes in five frames.
// Modeless; created on first use by the page's controller and kept. Closing
// it (title bar or Escape) tells the controller and hides it. Its owner,
// DeviceInfoWindow, deletes it unless its parent window went first.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <functional>
#include <map>

#include "app/DeviceInfoView.h"

namespace tarvik::ui {

class DeviceInfoDialog : public QDialog {
    Q_OBJECT
  public:
    DeviceInfoDialog(QWidget* parent, std::function<void()> closed);

    // The value box of a control number, or null.
    QLineEdit* Field(int control) const;

    // The title bar's close comes here too.
    void reject() override;

  private:
    std::function<void()> closed_;
    std::map<int, QLineEdit*> fields_;
};

class DeviceInfoWindow : public IDeviceInfoView {
  public:
    DeviceInfoWindow(QWidget* parent, std::function<void()> closed)
        : dialog_(new DeviceInfoDialog(parent, std::move(closed))) {}
    ~DeviceInfoWindow() override { delete dialog_.data(); }
    DeviceInfoWindow(const DeviceInfoWindow&) = delete;
    DeviceInfoWindow& operator=(const DeviceInfoWindow&) = delete;

    void ShowOnTop() override;
    void SetControlText(int control, const std::string& text) override;
    DeviceInfoDialog* Dialog() const { return dialog_.data(); }

  private:
    QPointer<DeviceInfoDialog> dialog_;
};

}  // namespace tarvik::ui
