// Reads arbitrary bytes as stored network records, one after another, the
// way a scan file holds them. A record that reads must store and read back
// to the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "networks/Archive.h"
#include "networks/Bssid.h"

using namespace tarvik;

namespace {

std::vector<std::uint8_t> Store(CBssid& record) {
    Archive out = Archive::ForStoring();
    TARVIK_FUZZ_CHECK(record.Serialize(out) == 0);
    return out.Data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Archive in = Archive::ForLoading(std::vector<std::uint8_t>(data, data + size));
    // A handful of records is enough to exercise resynchronisation.
    for (int i = 0; i < 4 && !in.AtEnd(); ++i) {
        CBssid record;
        if (record.Serialize(in) != 0) break;
        (void)record.SecurityClass();
        (void)record.Score(record.LastSeenScan());

        const std::vector<std::uint8_t> stored = Store(record);
        Archive again = Archive::ForLoading(stored);
        CBssid copy;
        TARVIK_FUZZ_CHECK(copy.Serialize(again) == 0 && again.AtEnd());
        TARVIK_FUZZ_CHECK(Store(copy) == stored);
    }
    return 0;
}
