// Arbitrary bytes as each of the small structures an adapter exchanges: SSID,
// key, WEP key, association information, configuration. What a parser
// accepts must build back to a structure that parses to the same value.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/FuzzCheck.h"
#include "ndis/AssociationInformation.h"
#include "ndis/Configuration.h"
#include "ndis/Keys.h"
#include "ndis/Ssid.h"

using namespace tarvik::ndis;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    if (auto ssid = ParseSsid(input)) {
        TARVIK_FUZZ_CHECK(ssid->size() <= 32);
        TARVIK_FUZZ_CHECK(ParseSsid(*BuildSsid(*ssid)) == ssid);
    }
    if (auto key = ParseKey(input)) TARVIK_FUZZ_CHECK(ParseKey(BuildKey(*key)) == key);
    if (auto wep = ParseWep(input)) TARVIK_FUZZ_CHECK(ParseWep(BuildWep(*wep)) == wep);
    if (auto info = ParseAssociationInformation(input)) {
        TARVIK_FUZZ_CHECK(ParseAssociationInformation(BuildAssociationInformation(*info)) == info);
    }
    if (auto config = ParseConfiguration(input)) {
        TARVIK_FUZZ_CHECK(ParseConfiguration(BuildConfiguration(*config)) == config);
    }
    return 0;
}
