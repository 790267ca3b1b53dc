#include "tools/cli/DeviceCommand.h"

#include <cstdio>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>

#include "adapter/AdapterList.h"
#include "adapter/TextAdapterCombo.h"
#include "app/DeviceInfoPage.h"
#include "core/ApplicationOptions.h"
#include "core/ExecutablePath.h"
#include "platform/driverio/DriverSocketPath.h"
#include "tools/cli/CliSession.h"
#include "tools/cli/TextTable.h"

namespace tarvik::cli {

const char* const kDeviceHelp =
    "usage: tarvik-cli device [--json]\n"
    "Prints what the card the window would choose reports about itself, as the\n"
    "window's Device Information page shows it: identity, wireless parameters,\n"
    "networking and IP configuration, and the driver's packet counters (\"In This\n"
    "Session\" counts from the start of this command). Nothing is changed on the card.\n"
    "  --json   one JSON object: frame titles, each with its labels and values\n";

namespace {

// The page's texts by control number.
struct CollectedTexts : IDeviceInfoView {
    std::map<int, std::string> texts;
    void ShowOnTop() override {}
    void SetControlText(int control, const std::string& text) override { texts[control] = text; }
};

std::string WithoutColon(const char* label) {
    std::string text = label;
    if (!text.empty() && text.back() == ':') text.pop_back();
    return text;
}

void PrintText(const CollectedTexts& page) {
    for (int frame = 0; frame < FRAME_COUNT; ++frame) {
        if (frame > 0) std::printf("\n");
        std::printf("%s\n", DeviceInfoFrameTitle(static_cast<DeviceInfoFrame>(frame)));
        for (const DeviceInfoControl& control : DeviceInfoControls()) {
            if (control.frame != frame) continue;
            const std::string value = PrintableText(page.texts.at(control.control));
            // No trailing blanks after an empty value.
            if (value.empty()) {
                std::printf("  %s\n", control.label);
            } else {
                std::printf("  %-38s %s\n", control.label, value.c_str());
            }
        }
    }
}

void PrintJson(const CollectedTexts& page) {
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    for (int frame = 0; frame < FRAME_COUNT; ++frame) {
        auto& fields = document[DeviceInfoFrameTitle(static_cast<DeviceInfoFrame>(frame))];
        fields = nlohmann::ordered_json::object();
        for (const DeviceInfoControl& control : DeviceInfoControls()) {
            if (control.frame != frame) continue;
            // Card texts are bytes; invalid UTF-8 is replaced, never thrown on.
            fields[WithoutColon(control.label)] = page.texts.at(control.control);
        }
    }
    std::printf("%s\n",
                document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

}  // namespace

int RunDevice(const Arguments& args) {
    bool json = false;
    for (const std::string& arg : args) {
        if (arg != "--json") return UsageError("device", "unknown argument: '" + arg + "'");
        json = true;
    }
    CApplicationOptions options(nullptr, ExecutablePath(), kApplicationName);
    options.Load();
    CTextAdapterCombo combo;
    // No media events and no receive thread: the card is only asked.
    CAdapterList adapters(
        options, combo, [] { return std::int64_t{std::time(nullptr)}; }, nullptr);
    if (adapters.EnumerateDevices() != 1) {
        return Fail(kExitFailed, "no driver answers at " + driverio::UserSocketPath());
    }
    CAdapter* adapter = adapters.Chosen();
    if (!adapter) return Fail(kExitFailed, "the driver has no network cards");
    CollectedTexts page;
    FillDeviceInfo(*adapter, page);
    if (json) {
        PrintJson(page);
    } else {
        PrintText(page);
    }
    return kExitOk;
}

}  // namespace tarvik::cli
