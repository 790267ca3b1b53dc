#include "core/ApplicationOptions.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "core/DetachedProcess.h"
#include "core/EventLog.h"
#include "core/ExecutablePath.h"
#include "core/OptionProperties.h"
#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

constexpr const char* kSettingsSection = "Settings";
constexpr const char* kColumnSection = "ColumnData";
constexpr const char* kColumnCountValue = "Column Count";
constexpr std::uint32_t kNeverStored = 0xFFFFFFFF;

using O = CApplicationOptions;
constexpr std::array<O::Field, 46> kFields{{
    {"RemoveUndetectedAccessPoints", &O::RemoveUndetectedAccessPoints, 0},
    {"TimeBeforeClearingNotDetectedAccessPoints", &O::TimeBeforeClearingNotDetectedAccessPoints,
     200},
    {"ClearingAccessPointsHard", &O::ClearingAccessPointsHard, 0},
    {"ColoringEnabled", &O::ColoringEnabled, 1},
    {"MaximumRssiValuesPerBssid", &O::MaximumRssiValuesPerBssid, 2000},
    {"ComPortNumber", &O::ComPortNumber, 3},
    {"ComBaudRate", &O::ComBaudRate, 4800},
    {"ComDataBits", &O::ComDataBits, 8},
    {"ComParity", &O::ComParity, 0},
    {"ComStopBits", &O::ComStopBits, 0},
    {"ComHandshaking", &O::ComHandshaking, 0},
    {"GpsDataFormat", &O::GpsDataFormat, 1},
    {"GpsAngleFormat", &O::GpsAngleFormat, 2},
    {"SoftRefreshInterval", &O::SoftRefreshInterval, 1},
    {"HardRefreshInterval", &O::HardRefreshInterval, 4},
    {"DeviceInfoRefreshInterval", &O::DeviceInfoRefreshInterval, 1},
    {"HoppingStateMachineInterval", &O::HoppingStateMachineInterval, 500},
    {"HitOutOfRangeInterval", &O::HitOutOfRangeInterval, 5},
    {"MediaStatusNotificationTimeout", &O::MediaStatusNotificationTimeout, 10},
    {"DhcpAddressAquisitionTimeout", &O::DhcpAddressAquisitionTimeout, 15},
    {"AutoSaveInterval", &O::AutoSaveInterval, 10},
    {"UseSharedModeInsteadOfOpen", &O::UseSharedModeInsteadOfOpen, 0},
    {"UseDbmOrPercentage", &O::UseDbmOrPercentage, 1},
    {"SetBssidBeforeConnecting", &O::SetBssidBeforeConnecting, 0},
    {"DoStopWZVSVCOnStart", &O::DoStopWZVSVCOnStart, 1},
    {"UseGlobalStatsForQueries", &O::UseGlobalStatsForQueries, 0},
    {"DoNotDisruptConnectionsOnStartup", &O::DoNotDisruptConnectionsOnStartup, 1},
    {"UseDisassociateWhenDisconnecting", &O::UseDisassociateWhenDisconnecting, 0},
    {"AutoStartOnLogin", &O::AutoStartOnLogin, 0},
    {"ShowTableGridLines", &O::ShowTableGridLines, 1},
    {"TableColorSetup", &O::TableColorSetup, 2},
    {"SaveFilterOptionsOnExit", &O::SaveFilterOptionsOnExit, 0},
    {"EapolNegotiationTimeout", &O::EapolNegotiationTimeout, 15},
    {"PromptToSaveOnExit", &O::PromptToSaveOnExit, 0},
    {"MinimizeToTrayOnClose", &O::MinimizeToTrayOnClose, 1},
    {"AutoSaveOpenFileOnExit", &O::AutoSaveOpenFileOnExit, 0},
    // Colours are COLORREF values, 0x00BBGGRR.
    {"ColorOpenBlock", &O::ColorOpenBlock, 0xE5FFE5},
    {"ColorWEPBlock", &O::ColorWEPBlock, 0xCCFFFF},
    {"ColorWPABlock", &O::ColorWPABlock, 0xE5F3FF},
    {"ColorWPA2Block", &O::ColorWPA2Block, 0xD1E5FF},
    {"ColorOutOfRangeText", &O::ColorOutOfRangeText, 0x4B4B4B},
    {"ColorSignalStrength", &O::ColorSignalStrength, 0xFFFF80},
    {"FileLoggingEnabled", &O::FileLoggingEnabled, 0},
    {"FileLogMaxLines", &O::FileLogMaxLines, 2000},
    {nullptr, &O::ConnectionManagerInterval, 1000},
    {"EnumerateOnDeviceChangeEvent", &O::EnumerateOnDeviceChangeEvent, 1},
}};

}  // namespace

std::span<const CApplicationOptions::Field> CApplicationOptions::Fields() {
    return kFields;
}

CApplicationOptions::CApplicationOptions() : CApplicationOptions(nullptr, ExecutablePath()) {}

CApplicationOptions::CApplicationOptions(RegistryStore* userHive, std::string executablePath,
                                         std::string applicationName)
    : userHive_(userHive),
      executablePath_(std::move(executablePath)),
      applicationName_(applicationName.empty() ? FileStemOf(executablePath_)
                                               : std::move(applicationName)) {
    ResetToDefaults();
}

CApplicationOptions::~CApplicationOptions() {
    ClearLogSettings(this);
}

RegistryStore& CApplicationOptions::UserHive() const {
    return userHive_ != nullptr ? *userHive_ : RegistryStore::CurrentUser();
}

std::string CApplicationOptions::ApplicationKey() const {
    return "Software\\Tarvik\\" + applicationName_;
}

std::string CApplicationOptions::SectionKey(const char* section) const {
    return ApplicationKey() + "\\" + section;
}

int CApplicationOptions::Load() {
    RegistryStore& hive = UserHive();
    const std::string key = SectionKey(kSettingsSection);
    for (const Field& field : kFields) {
        if (field.valueName == nullptr) continue;
        SettingValue& value = this->*field.member;
        const bool stored = hive.ReadValue(key, field.valueName).has_value();
        value = static_cast<std::int32_t>(
            hive.ReadDword(key, field.valueName, static_cast<std::uint32_t>(value.Get())));
        // A hand-edited hive may hold values the dialog never accepts (a 0 ms
        // timer, a negative history size, an unknown port): those are repaired.
        if (stored) RepairOutOfRangeOptions(*this, field.member);
    }
    return 0;
}

int CApplicationOptions::Save() {
    const std::string key = SectionKey(kSettingsSection);
    // One locked, atomic write: a crash never leaves the section half written.
    // A failed write is reported by the store through the log.
    UserHive().Modify(
        [&](RegHive& hive) {
            for (const Field& field : kFields) {
                if (field.valueName == nullptr) continue;
                hive.SetValue(key, RegValue::MakeDword(
                                       field.valueName,
                                       static_cast<std::uint32_t>((this->*field.member).Get())));
            }
        },
        "the section " + key);
    return 0;
}

void CApplicationOptions::ResetToDefaults() {
    for (const Field& field : kFields) (this->*field.member) = field.defaultValue;
}

bool CApplicationOptions::IsFirstLaunch() {
    const std::uint32_t count =
        UserHive().ReadDword(SectionKey(kColumnSection), kColumnCountValue, kNeverStored);
    if (count != kNeverStored) {
        LogInfo("Read Column Count, user has run Tarvik before.");
        return false;
    }
    LogInfo("Could not read Column Count, indicating first time startup.");
    return true;
}

std::string CApplicationOptions::DefaultSettingsFile() const {
    const std::filesystem::path folder = FolderOf(executablePath_);
    const std::filesystem::path installed =
        (folder / ".." / "share" / "tarvik" / "settings.reg").lexically_normal();
    std::error_code error;
    if (std::filesystem::is_regular_file(installed, error)) return installed.string();
    return (folder / "settings.reg").string();
}

bool CApplicationOptions::ImportDefaultSettings() {
    LogInfo("First launch by this user: importing default registry settings.");
    const std::string editor = FolderOf(executablePath_) + "/tarvik-regedit";
    const std::string quotedEditor = "\"" + editor + "\"";
    LogInfo("Determined regedit path: %s", quotedEditor.c_str());
    if (executablePath_.find('/') == std::string::npos) return false;

    const std::string settingsFile = DefaultSettingsFile();
    const std::string parameter = "/s \"" + settingsFile + "\"";
    LogInfo("Command: path=%s, parameter=%s", quotedEditor.c_str(), parameter.c_str());

    const int error = SpawnDetached(editor, {"/s", settingsFile});
    if (error != 0) {
        LogWarn("ShellExecute returned error %u, could not import default values.",
                static_cast<unsigned>(error));
        return false;
    }
    LogInfo("Default registry values imported successfully.");
    return true;
}

}  // namespace tarvik
