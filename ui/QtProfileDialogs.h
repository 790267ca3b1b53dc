// The profile dialogs as the Qt GUI runs them: each modal over the main
// window.
#pragma once

#include <QWidget>

#include "app/ProfileDialogs.h"

namespace tarvik::ui {

class QtProfileDialogs : public IProfileDialogs {
  public:
    // The parent must outlive the object.
    explicit QtProfileDialogs(QWidget* parent) : parent_(parent) {}

    bool RunAskForKey(CAskForKey& prompt) override;
    bool RunNetworkEditor(CAddNetworkKey& editor) override;
    void RunNetworkProfiles(CManageKeys& manager) override;

  private:
    QWidget* parent_;
};

}  // namespace tarvik::ui
