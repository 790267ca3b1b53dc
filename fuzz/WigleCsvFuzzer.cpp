// Feeds arbitrary bytes to the WiGLE CSV import. Every record it takes must
// hold a well-formed entry and in-range positions, and writing the records
// as WiGLE CSV and reading that again must give as many networks back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/ApplicationOptions.h"
#include "export/NetworkExport.h"
#include "export/RecordPosition.h"
#include "export/WigleCsvReader.h"
#include "fuzz/FuzzCheck.h"
#include "networks/NetworkColumns.h"
#include "networks/NetworkTable.h"
#include "networks/OuiVendorCache.h"

using namespace tarvik;

namespace {

class DefaultColumns : public INetworkColumns {
  public:
    std::string ColumnText(CBssid& record, int column) override {
        return tarvik::ColumnText(record, column, ColumnContext{options_, 1, addresses_, vendors_});
    }
    int CompareRecords(CBssid&, CBssid&) override { return 0; }

  private:
    CApplicationOptions options_{nullptr, "/usr/bin/tarvik", "tarvik"};
    OuiVendorCache vendors_;
    std::vector<std::string> addresses_;
};

void CheckRecord(const CBssid& record) {
    TARVIK_FUZZ_CHECK(record.Entry() != nullptr);
    TARVIK_FUZZ_CHECK(record.Entry()->Ssid().size() <= 32);
    for (const OptionalPosition* block :
         {&record.PositionAtMinRssi(), &record.PositionAtMaxRssi()}) {
        if (!*block) continue;
        const auto facts = ReadPosition(*block);
        TARVIK_FUZZ_CHECK(facts.has_value());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const WigleCsvContents read = ParseWigleCsv(text, "fuzz");
    const std::vector<BssidRecord>& records = read.contents.records;
    TARVIK_FUZZ_CHECK(records.size() <= read.wifiRows);
    for (const BssidRecord& record : records) CheckRecord(*record);
    if (records.empty()) return 0;

    static DefaultColumns columns;
    ExportRequest request;
    request.columns = &columns;
    std::string written;
    ExportSummary summary;
    TARVIK_FUZZ_CHECK(RenderExport(records, request, written, summary));
    const WigleCsvContents again = ParseWigleCsv(written, "again");
    TARVIK_FUZZ_CHECK(again.skipped.empty());
    TARVIK_FUZZ_CHECK(again.contents.records.size() == summary.networks);
    return 0;
}
