// Walks arbitrary bytes as an information-element list and checks that the
// walk covers the input exactly up to where it reports a bad element.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/FuzzCheck.h"
#include "ndis/ElementWalker.h"
#include "ndis/Elements.h"

using namespace tarvik::ndis;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    ElementWalker walker(input);
    std::size_t position = 0;
    while (auto element = walker.Next()) {
        TARVIK_FUZZ_CHECK(element->offset == position);
        TARVIK_FUZZ_CHECK(element->whole.size() == element->body.size() + 2);
        TARVIK_FUZZ_CHECK(element->whole.data() == data + position);
        // Rebuilding an element gives its bytes back.
        const auto rebuilt = BuildElement(element->id, element->body);
        TARVIK_FUZZ_CHECK(rebuilt && std::equal(rebuilt->begin(), rebuilt->end(),
                                                element->whole.begin(), element->whole.end()));
        position += element->whole.size();
    }
    if (walker.Error() == NdisError::None) {
        TARVIK_FUZZ_CHECK(position == size);
    } else {
        TARVIK_FUZZ_CHECK(walker.ErrorOffset() == position && position < size);
    }
    (void)FindElement(input, kElementRsn);
    (void)FindVendorElement(input, kWpaOui, kWpaVendorType);
    return 0;
}
