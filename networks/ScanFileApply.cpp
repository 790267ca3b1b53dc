#include "networks/ScanFile.h"

namespace tarvik {

std::size_t ApplyScanFile(CNetworkList& list, ScanFileContents&& contents, bool merge) {
    if (!merge) list.SetScanCounter(contents.scanCounter);
    std::size_t appended = 0;
    for (BssidRecord& record : contents.records) {
        // The reader lets no record without an entry through; stay safe anyway.
        if (!record || record->Entry() == nullptr) continue;
        if (merge) {
            // A match stamps the listed record, which stays; the file's goes.
            if (list.MatchEntry(*record->Entry())) continue;
            record->SetLastSeenScan(0);
        }
        list.Append(std::move(record));
        ++appended;
    }
    contents.records.clear();
    return appended;
}

}  // namespace tarvik
