// Message boxes as the dialog controllers see them: a text, a caption and an
// icon, answered with OK. The Qt dialogs show real ones; tests record them.
#pragma once

#include <string>

namespace tarvik {

enum class MessageIcon { None, Information };

class IMessageBoxes {
  public:
    virtual ~IMessageBoxes() = default;
    // Modal; returns when the user has closed the box.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) = 0;
};

// A question answered with Yes or No.
class IConfirmBoxes {
  public:
    virtual ~IConfirmBoxes() = default;
    // Modal; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption,
                          MessageIcon icon) = 0;
};

}  // namespace tarvik
