#include "app/GpsAttach.h"

#include <memory>

#include "gps/GpsFix.h"

namespace tarvik {

std::size_t AttachPositions(const std::vector<BssidRecord>& records, const GpsState& state,
                            std::time_t now) {
    if (!HasGpsFix(state, now)) return 0;
    OptionalPosition snapshot;  // encoded on first use, then shared
    std::size_t attached = 0;
    const auto attach = [&](CBssid& record, bool atMin) {
        if (!snapshot) {
            snapshot =
                std::make_shared<const PositionSnapshot>(PositionSnapshot{EncodeGpsFix(state.fix)});
        }
        atMin ? record.SetPositionAtMinRssi(snapshot) : record.SetPositionAtMaxRssi(snapshot);
        ++attached;
    };
    for (const BssidRecord& record : records) {
        if (!record || record->ConnectionStatus() == STATUS_NOT_DETECTED) continue;
        // A record without a scan entry has no current signal to compare.
        const ndis::BssidEntry* entry = record->Entry();
        if (!record->PositionAtMinRssi() || (entry && entry->Rssi() <= record->RssiMin())) {
            attach(*record, true);
        }
        if (!record->PositionAtMaxRssi() || (entry && entry->Rssi() >= record->RssiMax())) {
            attach(*record, false);
        }
    }
    return attached;
}

}  // namespace tarvik
