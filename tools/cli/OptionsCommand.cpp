#include "tools/cli/OptionsCommand.h"

#include <cstdio>

#include "app/OptionsEditor.h"
#include "core/EventLog.h"
#include "core/ExecutablePath.h"
#include "platform/RegistryStore.h"
#include "tools/cli/CliSession.h"
#include "tools/cli/TextTable.h"

namespace tarvik::cli {

const char* const kOptionsHelp =
    "usage: tarvik-cli options [--list]\n"
    "       tarvik-cli options --get NAME\n"
    "       tarvik-cli options --set NAME=VALUE\n"
    "The settings of the window's Options dialog. NAME is a property's label (as\n"
    "listed, quoted) or its value name. VALUE is written as listed: a number, on or\n"
    "off, a choice's text, or #RRGGBB. A value outside the limits or choices, or of\n"
    "a property greyed by its switch, is refused. Settings are saved at once; a\n"
    "running window applies them when it next starts (and writes its own on exit).\n";

namespace {

// The window's timers, table and GPS port belong to another process.
class CStoredOnlyEffects : public IOptionEffects {
  public:
    void RefreshNetworkTable() override {}
    void RestartTimer(int) override {}
    void SetGridLines(bool) override {}
    void RepaintTable() override {}
    void ReopenGpsPort() override {}
    void RestartDeviceInfoTimer() override {}
};

std::string LimitsText(const OptionProperty& property) {
    switch (property.kind) {
        case OptionKind::Number:
            return std::to_string(property.lower) + " to " + std::to_string(property.upper) +
                   (*property.unit != '\0' ? std::string(" ") + property.unit : "");
        case OptionKind::Switch:
            return "on or off";
        case OptionKind::Colour:
            return "#RRGGBB";
        case OptionKind::Choice: {
            std::string texts;
            for (const OptionChoice& choice : property.choices) {
                texts += (texts.empty() ? "" : ", ") + std::string(choice.text);
            }
            return texts;
        }
        case OptionKind::Category:
            break;
    }
    return "";
}

int List(const COptionsEditor& editor) {
    std::vector<std::vector<std::string>> rows{{"Property", "Value name", "Value", "Allowed"}};
    for (const OptionProperty& property : GetProperties()) {
        if (property.kind == OptionKind::Category) {
            rows.push_back({std::string("[") + property.label + "]", "", "", ""});
            continue;
        }
        const std::string label = (property.indented ? "  " : "") + std::string(property.label);
        std::string value = FormatPropertyValue(property, editor.ValueOf(property));
        if (!editor.IsEnabled(property)) value += " (greyed)";
        rows.push_back({label, ValueNameOf(property), value, LimitsText(property)});
    }
    std::fputs(FormatTable(rows).c_str(), stdout);
    return kExitOk;
}

const OptionProperty* Named(const std::string& name) {
    const OptionProperty* property = FindPropertyByName(name);
    if (property == nullptr) {
        Fail(kExitUsage, "no option is named '" + name + "' ('tarvik-cli options' lists them)");
    }
    return property;
}

int Set(COptionsEditor& editor, const std::string& assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos) return UsageError("options", "--set takes NAME=VALUE");
    const OptionProperty* property = Named(assignment.substr(0, equals));
    if (property == nullptr) return kExitUsage;
    const std::string text = assignment.substr(equals + 1);
    switch (editor.CommitText(*property, text)) {
        case RES_OPTION_REFUSED:
            return Fail(kExitFailed, "'" + text + "' is refused for " + property->label +
                                         " (allowed: " + LimitsText(*property) + ")");
        case RES_OPTION_DISABLED:
            return Fail(kExitFailed, std::string(property->label) +
                                         " is greyed while the switch above it is off");
        default:
            return kExitOk;
    }
}

std::string CheckArguments(const Arguments& args) {
    if (args.empty() || (args.size() == 1 && args[0] == "--list")) return "";
    if (args.size() == 2 && (args[0] == "--get" || args[0] == "--set")) return "";
    return "options takes --list, --get NAME or --set NAME=VALUE";
}

}  // namespace

int RunOptions(const Arguments& args) {
    if (const std::string problem = CheckArguments(args); !problem.empty()) {
        return UsageError("options", problem);
    }
    // The login entry names the window's program, which sits beside this one.
    CApplicationOptions options(nullptr, FolderOf(ExecutablePath()) + "/tarvik", kApplicationName);
    InstallLogAsStoreErrorSink();
    SetLogSettings(&options);
    options.Load();
    if (const auto damage = options.UserHive().TakeDamageReport()) {
        Fail(kExitOk, damage->Describe());
    }
    CStoredOnlyEffects effects;
    COptionsEditor editor(options, effects);
    int status = kExitOk;
    if (args.empty() || args[0] == "--list") {
        status = List(editor);
    } else if (args[0] == "--set") {
        status = Set(editor, args[1]);
    } else if (const OptionProperty* property = Named(args[1])) {
        std::printf("%s\n", FormatPropertyValue(*property, editor.ValueOf(*property)).c_str());
    } else {
        status = kExitUsage;
    }
    ClearLogSettings(&options);
    return status;
}

}  // namespace tarvik::cli
