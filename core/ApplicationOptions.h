// The settings record: every user-adjustable value as a 32-bit integer with
// its registry value name and built-in default, stored in the "Settings"
// section of the application's area of the user hive. Also owns the
// first-launch import of default values and the start-on-login entry.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/SettingValue.h"

namespace tarvik {

class RegistryStore;

class CApplicationOptions {
  public:
    // One row of the record: its value name (nullptr when not stored), the
    // member and the built-in default.
    struct Field {
        const char* valueName;
        SettingValue CApplicationOptions::*member;
        std::int32_t defaultValue;
    };
    // Every field in declaration order.
    static std::span<const Field> Fields();

    // The running program, the current user's hive.
    CApplicationOptions();
    // An explicit hive (nullptr: the current user's, looked up at each use),
    // executable path and application name (empty: the executable's file
    // name without extension).
    CApplicationOptions(RegistryStore* userHive, std::string executablePath,
                        std::string applicationName = {});
    CApplicationOptions(const CApplicationOptions& other) = default;
    CApplicationOptions& operator=(const CApplicationOptions& other) = default;
    // Detaches the record from the event log if it was installed there.
    ~CApplicationOptions();

    // Reads every stored value from "Settings", the current value being the
    // default; a value outside the Options dialog's limits or choices is
    // repaired and logged (RepairOutOfRangeOptions). Result 0.
    int Load();
    // Writes every stored value to "Settings" as a DWORD, all in one atomic write
    // (none when nothing changed). Result 0.
    int Save();
    // Every field back to its default, in memory only.
    void ResetToDefaults();

    // True while the network table has never stored its "Column Count".
    bool IsFirstLaunch();
    // Starts tarvik-regedit (beside the executable) on the shipped settings
    // file, detached. True when the editor was started.
    bool ImportDefaultSettings();
    // The Run value "Tarvik" and the desktop autostart entry.
    void EnableAutoStart();
    void DisableAutoStart();

    const std::string& ApplicationName() const { return applicationName_; }
    const std::string& ExecutablePathName() const { return executablePath_; }
    // "Software\Tarvik\<application name>" and its sections.
    std::string ApplicationKey() const;
    std::string SectionKey(const char* section) const;
    // The data of the Run value: the quoted executable path and " /login".
    std::string AutoStartCommand() const;
    // The settings file the first-launch import hands to the editor:
    // <exe folder>/../share/tarvik/settings.reg when it exists (installed or
    // build tree), else settings.reg beside the executable.
    std::string DefaultSettingsFile() const;
    // The hive the record reads and writes; other owners' sections live there too.
    RegistryStore& UserHive() const;

    SettingValue RemoveUndetectedAccessPoints;
    SettingValue TimeBeforeClearingNotDetectedAccessPoints;
    SettingValue ClearingAccessPointsHard;
    SettingValue ColoringEnabled;
    SettingValue MaximumRssiValuesPerBssid;
    SettingValue ComPortNumber;
    SettingValue ComBaudRate;
    SettingValue ComDataBits;
    SettingValue ComParity;
    SettingValue ComStopBits;
    SettingValue ComHandshaking;
    SettingValue GpsDataFormat;
    SettingValue GpsAngleFormat;
    SettingValue SoftRefreshInterval;
    SettingValue HardRefreshInterval;
    SettingValue DeviceInfoRefreshInterval;
    SettingValue HoppingStateMachineInterval;
    SettingValue HitOutOfRangeInterval;
    SettingValue MediaStatusNotificationTimeout;
    SettingValue DhcpAddressAquisitionTimeout;
    SettingValue AutoSaveInterval;
    SettingValue UseSharedModeInsteadOfOpen;
    SettingValue UseDbmOrPercentage;
    SettingValue SetBssidBeforeConnecting;
    SettingValue DoStopWZVSVCOnStart;
    SettingValue UseGlobalStatsForQueries;
    SettingValue DoNotDisruptConnectionsOnStartup;
    SettingValue UseDisassociateWhenDisconnecting;
    SettingValue AutoStartOnLogin;
    SettingValue ShowTableGridLines;
    SettingValue TableColorSetup;
    SettingValue SaveFilterOptionsOnExit;
    SettingValue EapolNegotiationTimeout;
    SettingValue PromptToSaveOnExit;
    SettingValue MinimizeToTrayOnClose;
    SettingValue AutoSaveOpenFileOnExit;
    SettingValue ColorOpenBlock;
    SettingValue ColorWEPBlock;
    SettingValue ColorWPABlock;
    SettingValue ColorWPA2Block;
    SettingValue ColorOutOfRangeText;
    SettingValue ColorSignalStrength;
    SettingValue FileLoggingEnabled;
    SettingValue FileLogMaxLines;
    SettingValue ConnectionManagerInterval;  // milliseconds; fixed, not stored
    SettingValue EnumerateOnDeviceChangeEvent;

  private:
    RegistryStore* userHive_ = nullptr;
    std::string executablePath_;
    std::string applicationName_;
};

}  // namespace tarvik
