#include "app/OptionsEditor.h"

#include "app/CommandIds.h"

namespace tarvik {
namespace {

using O = CApplicationOptions;
using Member = SettingValue CApplicationOptions::*;

// The main-window timer whose period a field sets; 0 for none.
int TimerOf(Member member) {
    if (member == &O::SoftRefreshInterval) return TIMER_SOFT_REFRESH;
    if (member == &O::HardRefreshInterval) return TIMER_HARD_REFRESH;
    if (member == &O::HoppingStateMachineInterval) return TIMER_HOPPING;
    if (member == &O::AutoSaveInterval) return TIMER_AUTO_SAVE;
    return 0;
}

bool IsComSetting(Member member) {
    return member == &O::ComPortNumber || member == &O::ComBaudRate || member == &O::ComDataBits ||
           member == &O::ComParity || member == &O::ComStopBits || member == &O::ComHandshaking;
}

}  // namespace

COptionsEditor::COptionsEditor(CApplicationOptions& options, IOptionEffects& effects)
    : options_(options), effects_(effects) {}

std::int32_t COptionsEditor::ValueOf(const OptionProperty& property) const {
    return property.member != nullptr ? (options_.*property.member).Get() : 0;
}

bool COptionsEditor::IsEnabled(const OptionProperty& property) const {
    return IsPropertyEnabled(options_, property);
}

Result COptionsEditor::CommitValue(const OptionProperty& property, std::int32_t value) {
    if (property.member == nullptr || !IsValueAllowed(property, value)) return RES_OPTION_REFUSED;
    if (!IsEnabled(property)) return RES_OPTION_DISABLED;
    if (ValueOf(property) == value) return RES_OPTION_UNCHANGED;
    options_.*property.member = value;
    ApplySideEffect(property.member, value);
    options_.Save();
    return RES_OPTION_ACCEPTED;
}

Result COptionsEditor::CommitText(const OptionProperty& property, std::string_view text) {
    const std::optional<std::int32_t> value = ParsePropertyValue(property, text);
    return value ? CommitValue(property, *value) : RES_OPTION_REFUSED;
}

void COptionsEditor::ApplySideEffect(Member member, std::int32_t value) {
    if (const int timer = TimerOf(member)) {
        effects_.RestartTimer(timer);
    } else if (IsComSetting(member)) {
        effects_.ReopenGpsPort();
    } else if (member == &O::GpsAngleFormat || member == &O::UseDbmOrPercentage) {
        effects_.RefreshNetworkTable();
    } else if (member == &O::AutoStartOnLogin) {
        if (value != 0) {
            options_.EnableAutoStart();
        } else {
            options_.DisableAutoStart();
        }
    } else if (member == &O::ShowTableGridLines) {
        effects_.SetGridLines(value != 0);
    } else if (member == &O::DeviceInfoRefreshInterval) {
        effects_.RestartDeviceInfoTimer();
    } else if (member == &O::ColoringEnabled) {
        effects_.RepaintTable();
    }
}

bool COptionsEditor::RestoreDefaults(IConfirmBoxes& confirm) {
    if (!confirm.AskYesNo(kRestoreDefaultsQuestion, kRestoreDefaultsCaption,
                          MessageIcon::Information)) {
        return false;
    }
    options_.ResetToDefaults();
    return true;
}

}  // namespace tarvik
