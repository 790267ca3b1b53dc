// Arbitrary bytes as a registry file. The reader refuses what it cannot use
// with a line and a reason; what it accepts, written out and read again, must
// give the same keys (with their spelling) and values, and the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/RegText.h"

using namespace tarvik;

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

void CheckRoundTrip(const RegHive& hive) {
    const std::string text = FormatRegFile(hive, kRoot);
    std::vector<RegOp> ops;
    RegParseError error;
    TARVIK_FUZZ_CHECK(ParseRegFile(text, ops, error));
    RegHive reread;
    for (const RegOp& op : ops) {
        TARVIK_FUZZ_CHECK(op.root == kRoot);
        ApplyRegOp(reread, op);
    }
    TARVIK_FUZZ_CHECK(reread == hive);
    const std::vector<const RegHive::Key*> keys = hive.Subtree("");
    const std::vector<const RegHive::Key*> rereadKeys = reread.Subtree("");
    TARVIK_FUZZ_CHECK(keys.size() == rereadKeys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        TARVIK_FUZZ_CHECK(keys[i]->path == rereadKeys[i]->path);
    }
    TARVIK_FUZZ_CHECK(FormatRegFile(reread, kRoot) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The tolerant reading of a damaged hive: whatever it keeps can be written
    // and read back, and each skipped line is a line of the input.
    std::vector<RegOp> ops;
    std::vector<RegParseError> skipped;
    ParseRegFile(bytes, ops, skipped, true);
    for (const RegParseError& bad : skipped) {
        TARVIK_FUZZ_CHECK(bad.line >= 1 && bad.line <= size + 1);
    }
    RegHive kept;
    for (const RegOp& op : ops) {
        if (EqualsNoCase(op.root, kRoot)) ApplyRegOp(kept, op);
    }
    CheckRoundTrip(kept);

    ops.clear();
    RegParseError error;
    if (!ParseRegFile(bytes, ops, error)) {
        TARVIK_FUZZ_CHECK(!error.message.empty());
        TARVIK_FUZZ_CHECK(error.line >= 1 && error.line <= size + 1);
        return 0;
    }
    // One hive per root, as the store keeps them; each is written under one root.
    std::vector<std::pair<std::string, RegHive>> hives;
    for (const RegOp& op : ops) {
        auto hive = hives.begin();
        while (hive != hives.end() && !EqualsNoCase(hive->first, op.root)) ++hive;
        if (hive == hives.end()) hive = hives.insert(hives.end(), {op.root, RegHive()});
        ApplyRegOp(hive->second, op);
    }
    for (const auto& [root, hive] : hives) CheckRoundTrip(hive);
    return 0;
}
