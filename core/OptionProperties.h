// The Options dialog's property list: six categories of the settings record's
// user-adjustable fields, each with its label, help text, kind and the limits
// or choices a value must keep. The same table checks values read from a
// hand-edited hive, so the program never runs on a value the dialog refuses.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/ApplicationOptions.h"

namespace tarvik {

enum class OptionKind { Category, Number, Switch, Choice, Colour };

struct OptionChoice {
    const char* text;
    std::int32_t value;
};

struct OptionProperty {
    OptionKind kind;
    const char* label;
    const char* help;
    // The record's field; null for a category heading.
    SettingValue CApplicationOptions::*member;
    // One level below the switch before it.
    bool indented;
    // Numbers: the unit text shown after the value ("" for none) and limits.
    const char* unit;
    std::int32_t lower;
    std::int32_t upper;
    // Choices: the texts in display order with their stored values.
    std::span<const OptionChoice> choices;
};

// The largest colour: 0x00BBGGRR.
inline constexpr std::int32_t kMaximumColour = 0xFFFFFF;

// Categories and properties in display order.
std::span<const OptionProperty> GetProperties();
// The property bound to `member`; null for fields the dialog does not show.
const OptionProperty* FindProperty(SettingValue CApplicationOptions::*member);
// The property with this label or record value name; null when none.
const OptionProperty* FindPropertyByName(std::string_view name);
// The record's value name of a property's field ("" when not stored).
const char* ValueNameOf(const OptionProperty& property);

// Greyed while the switch it depends on is off.
bool IsPropertyEnabled(const CApplicationOptions& options, const OptionProperty& property);
// True when `value` may be stored in the property's field.
bool IsValueAllowed(const OptionProperty& property, std::int32_t value);
// A number typed by the user: optional blanks around an optionally signed
// decimal integer that fits in 32 bits. Empty when it does not parse.
std::optional<std::int32_t> ParseNumberText(std::string_view text);
// The value shown for a property: the number, "on"/"off", the choice's
// text, or #RRGGBB for a colour.
std::string FormatPropertyValue(const OptionProperty& property, std::int32_t value);
// The reverse of FormatPropertyValue (numbers also as typed; choices also as
// their stored values). Empty when the text names no value of the property.
std::optional<std::int32_t> ParsePropertyValue(const OptionProperty& property,
                                               std::string_view text);

// Puts a field the dialog shows back inside its limits or choices: a number
// out of range is clamped to the nearer limit, an unknown choice or a colour
// above 0xFFFFFF is set to its default, and a switch other than 0 and 1
// becomes 1 (any nonzero value means on). The repair is logged with the
// value name. True when the field was repaired.
bool RepairOutOfRangeOptions(CApplicationOptions& options,
                             SettingValue CApplicationOptions::*member);

}  // namespace tarvik
