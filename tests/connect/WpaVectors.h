// Access to the published WPA reference vectors (shared test data) for tests.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace tarvik::test {

using Bytes = std::vector<std::uint8_t>;

// Parses lowercase or uppercase hex; throws std::invalid_argument on odd
// length or a non-hex digit.
Bytes FromHex(const std::string& hex);
std::string ToHex(const Bytes& bytes);
Bytes FromText(const std::string& text);

// The whole vectors.json, loaded once. Throws std::runtime_error when the
// file is missing or unreadable, so a test that needs it fails.
const nlohmann::json& WpaVectors();

// The entries of "primitives" with the given "type".
std::vector<nlohmann::json> Primitives(const std::string& type);

// The entries of "handshakes".
const nlohmann::json& Handshakes();

// The PTK expansion seed of an entry with "aa", "spa", "anonce" and "snonce":
// min(AA,SPA) || max(AA,SPA) || min(ANonce,SNonce) || max(ANonce,SNonce).
Bytes PairwiseExpansionData(const nlohmann::json& entry);

// A field stored as text under `field` or as hex under `field + "_hex"`.
Bytes TextOrHex(const nlohmann::json& entry, const std::string& field);

}  // namespace tarvik::test
