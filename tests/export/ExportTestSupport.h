// Surveyed records with hostile SSIDs, the column texts for them, and
// readers that are not ours (xmllint, Python) for the written files.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gps/GpsFix.h"
#include "networks/NetworkTable.h"
#include "tests/adapter/OidToolRun.h"
#include "tests/networks/ColumnsTestSupport.h"

namespace tarvik::testing_support {

// The table's texts with the default settings.
class CTestColumns : public INetworkColumns {
  public:
    std::string ColumnText(CBssid& record, int column) override {
        return tarvik::ColumnText(record, column, environment_.Context());
    }
    int CompareRecords(CBssid&, CBssid&) override { return 0; }

  private:
    ColumnEnvironment environment_;
};

inline OptionalPosition Position(double latitude, double longitude, double time,
                                 double altitude = 34.5, double error = 4) {
    GpsFix fix;
    fix.mode = FIX_MODE_3D;
    fix.latitude = latitude;
    fix.longitude = longitude;
    fix.altitude = altitude;
    fix.horizontalError = error;
    fix.fixTime = time;
    return PositionSnapshot{EncodeGpsFix(fix)};
}

// Network `index` with the given SSID bytes, heard at -70 and -40 dBm at two
// positions (`positioned` false: at none); `kilohertz` 0 keeps the default
// frequency.
inline BssidRecord SurveyRecord(std::uint8_t index, const std::string& ssid, bool positioned,
                                const std::vector<Bytes>& elements = {},
                                std::uint32_t kilohertz = 0) {
    ndis::BssidEntryFields fields = Fields(index, -70, elements.empty() ? 0 : 1);
    if (kilohertz != 0) fields.configuration.dsConfig = kilohertz;
    fields.ssidLength = static_cast<std::uint32_t>(ssid.size());
    std::copy(ssid.begin(), ssid.end(), fields.ssid.begin());
    fields = WithElements(fields, elements);
    auto record = std::make_shared<CBssid>(Entry(fields), 1, kRecordTime + index);
    fields.rssi = -40;
    record->UpdateFromEntry(Entry(fields), kRecordTime + index + 60);
    if (positioned) {
        record->SetPositionAtMinRssi(Position(52.5 + index * 1e-4, 13.4, kRecordTime + index));
        record->SetPositionAtMaxRssi(
            Position(52.6 + index * 1e-4, 13.41, kRecordTime + index + 60));
    }
    return record;
}

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs a Python program on `file` (sys.argv[1]) and returns its output.
inline testing::ToolRun RunPython(const std::string& program, const std::filesystem::path& file,
                                  const std::filesystem::path& folder) {
    const std::filesystem::path script = folder / "check.py";
    std::ofstream(script) << program;
    return testing::RunCommand("python3 '" + script.string() + "' '" + file.string() + "'");
}

}  // namespace tarvik::testing_support
