// Arbitrary bytes as a stored network profile. A blob that reads must write
// back (its current-form fields byte for byte) and read again to the same
// profile; one that does not read leaves the key within its field. The same
// bytes as key text go through the key, hex and WEP helpers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "profiles/NetworkKey.h"

using namespace tarvik;

namespace {

void UseTexts(const CNetworkKey& profile) {
    (void)profile.SsidText();
    (void)profile.BssidText();
    (void)profile.KeyText();
    (void)profile.ClassText();
    (void)profile.KeyTypeText();
}

void CheckKeyText(std::string_view text) {
    for (const std::uint32_t type : {KEY_TYPE_ASCII, KEY_TYPE_HEX}) {
        CNetworkKey profile;
        profile.securityClass = 2;
        if (profile.SetKeyFromText(text, type) != 0) continue;
        TARVIK_FUZZ_CHECK(profile.keyLength <= 500);
        if (type == KEY_TYPE_HEX) TARVIK_FUZZ_CHECK(profile.KeyText().size() == text.size());
    }
    (void)CheckWepKey(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> blob(data, size);
    CheckKeyText(std::string_view(reinterpret_cast<const char*>(data), size));

    CNetworkKey profile;
    const int read = profile.ReadBlob(blob);
    TARVIK_FUZZ_CHECK(profile.keyLength <= kProfileKeySize);
    UseTexts(profile);
    if (read != 0) return 0;

    std::vector<std::uint8_t> written;
    const int length = profile.Serialize(written);
    if (profile.keyLength + kProfileBlobHeaderSize > kProfileBlobCapacity) {
        TARVIK_FUZZ_CHECK(length == -1 && written.empty());
        return 0;
    }
    TARVIK_FUZZ_CHECK(length == static_cast<int>(written.size()));
    const std::uint32_t marker =
        size >= 54 ? data[50] | data[51] << 8 | data[52] << 16 | std::uint32_t{data[53]} << 24 : 2;
    if (marker <= 1) {  // the current form: written as it was read
        TARVIK_FUZZ_CHECK(written.size() <= size);
        TARVIK_FUZZ_CHECK(std::equal(written.begin(), written.end(), data));
    }
    CNetworkKey again;
    TARVIK_FUZZ_CHECK(again.ReadBlob(written) == 0);
    std::vector<std::uint8_t> rewritten;
    TARVIK_FUZZ_CHECK(again.Serialize(rewritten) == length && rewritten == written);
    return 0;
}
