#include "tests/connect/WpaVectors.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace tarvik::test {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::invalid_argument(std::string("not a hex digit: ") + c);
}

nlohmann::json LoadVectors() {
    const std::string path = TARVIK_TESTDATA_DIR "/wpa/vectors.json";
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot open reference vectors " + path);
    }
    return nlohmann::json::parse(in);
}

}  // namespace

Bytes FromHex(const std::string& hex) {
    if (hex.size() % 2 != 0) {
        throw std::invalid_argument("odd-length hex string");
    }
    Bytes out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(HexDigit(hex[i]) << 4 | HexDigit(hex[i + 1])));
    }
    return out;
}

std::string ToHex(const Bytes& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0xf];
    }
    return out;
}

Bytes FromText(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

const nlohmann::json& WpaVectors() {
    static const nlohmann::json vectors = LoadVectors();
    return vectors;
}

std::vector<nlohmann::json> Primitives(const std::string& type) {
    std::vector<nlohmann::json> out;
    for (const auto& entry : WpaVectors().at("primitives")) {
        if (entry.at("type") == type) {
            out.push_back(entry);
        }
    }
    return out;
}

const nlohmann::json& Handshakes() {
    return WpaVectors().at("handshakes");
}

Bytes PairwiseExpansionData(const nlohmann::json& entry) {
    const Bytes aa = FromHex(entry.at("aa"));
    const Bytes spa = FromHex(entry.at("spa"));
    const Bytes anonce = FromHex(entry.at("anonce"));
    const Bytes snonce = FromHex(entry.at("snonce"));
    Bytes data;
    for (const Bytes* part : {&std::min(aa, spa), &std::max(aa, spa), &std::min(anonce, snonce),
                              &std::max(anonce, snonce)}) {
        data.insert(data.end(), part->begin(), part->end());
    }
    return data;
}

Bytes TextOrHex(const nlohmann::json& entry, const std::string& field) {
    if (entry.contains(field)) {
        return FromText(entry.at(field).get<std::string>());
    }
    return FromHex(entry.at(field + "_hex").get<std::string>());
}

}  // namespace tarvik::test
