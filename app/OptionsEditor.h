// The Options dialog's logic over the live settings record: which properties
// may be edited, the check of a committed value, the side effect of each
// accepted change followed by saving the whole record, and Restore Defaults.
// The Qt dialog and tarvik-cli options are thin fronts over it.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/MessageBoxes.h"
#include "app/OptionEffects.h"
#include "core/OptionProperties.h"
#include "core/ResultCodes.h"

namespace tarvik {

inline constexpr const char* kRestoreDefaultsQuestion =
    "All the customized settings will be lost. Continue?";
inline constexpr const char* kRestoreDefaultsCaption = "Please confirm";

class COptionsEditor {
  public:
    // Both outlive the editor.
    COptionsEditor(CApplicationOptions& options, IOptionEffects& effects);

    CApplicationOptions& Options() { return options_; }
    std::int32_t ValueOf(const OptionProperty& property) const;
    bool IsEnabled(const OptionProperty& property) const;

    // A committed value: refused (RES_OPTION_REFUSED) outside the property's
    // limits or choices, RES_OPTION_DISABLED while greyed, RES_OPTION_UNCHANGED
    // when equal to the stored one; otherwise stored, its side effect applied
    // and the record saved (RES_OPTION_ACCEPTED).
    Result CommitValue(const OptionProperty& property, std::int32_t value);
    // The same for text as typed or shown (FormatPropertyValue); text that
    // does not parse is refused.
    Result CommitText(const OptionProperty& property, std::string_view text);

    // Asks first; on Yes every field goes back to its default in memory, with
    // no side effect and nothing written. True when the defaults were restored.
    bool RestoreDefaults(IConfirmBoxes& confirm);

  private:
    void ApplySideEffect(SettingValue CApplicationOptions::*member, std::int32_t value);

    CApplicationOptions& options_;
    IOptionEffects& effects_;
};

}  // namespace tarvik
