// The Options dialog as the main-window controller sees it: running it
// modally over an editor of the live settings, and the two window-side
// effects of its changes that belong to the GUI. The Qt front implements it;
// tests use a fake.
#pragma once

namespace tarvik {

class COptionsEditor;

class IOptionsDialogView {
  public:
    virtual ~IOptionsDialogView() = default;
    // Modal; returns when the dialog is closed.
    virtual void RunOptionsDialog(COptionsEditor& editor) = 0;
    // The network table repainted with erasing, so its colours follow the
    // colouring switch.
    virtual void RepaintNetworkTable() = 0;
};

}  // namespace tarvik
