// The "GPS Output" dialog: the receiver's status, latitude and longitude and
// the received sentences, newest first. Modeless; created on first use by
// the GPS integration and kept. Its owner, GpsOutputWindow, deletes it
// unless its parent window went first.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <memory>

#include "app/GpsOutputView.h"

namespace tarvik::ui {

class GpsOutputDialog : public QDialog {
    Q_OBJECT
  public:
    explicit GpsOutputDialog(QWidget* parent = nullptr);

    QLabel& Status() { return *status_; }
    QLabel& Latitude() { return *latitude_; }
    QLabel& Longitude() { return *longitude_; }
    QPlainTextEdit& Sentences() { return *sentences_; }

  private:
    QLabel* status_;
    QLabel* latitude_;
    QLabel* longitude_;
    QPlainTextEdit* sentences_;
};

class GpsOutputWindow : public IGpsOutputView {
  public:
    explicit GpsOutputWindow(QWidget* parent) : dialog_(new GpsOutputDialog(parent)) {}
    ~GpsOutputWindow() override { delete dialog_.data(); }
    GpsOutputWindow(const GpsOutputWindow&) = delete;
    GpsOutputWindow& operator=(const GpsOutputWindow&) = delete;

    void ShowOnTop() override;
    void SetStatusTexts(const std::string& status, const std::string& latitude,
                        const std::string& longitude) override;
    void SetSentenceLog(const std::string& text) override;

  private:
    QPointer<GpsOutputDialog> dialog_;
};

}  // namespace tarvik::ui
