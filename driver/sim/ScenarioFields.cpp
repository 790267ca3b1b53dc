#include "driver/sim/ScenarioFields.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

namespace tarvik::driver::sim {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string FormatNumber(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace

bool ParseMac(const std::string& text, MacAddress& mac) {
    // "00:0f:b5:12:34:56" or with '-' separators.
    if (text.size() != 17) return false;
    for (std::size_t i = 0; i < 6; ++i) {
        const int high = HexDigit(text[i * 3]);
        const int low = HexDigit(text[i * 3 + 1]);
        if (high < 0 || low < 0) return false;
        if (i < 5 && text[i * 3 + 2] != ':' && text[i * 3 + 2] != '-') return false;
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

bool ParseIpv4(const std::string& text, std::uint32_t& address) {
    std::uint32_t result = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.') return false;
            ++pos;
        }
        std::size_t digits = 0;
        std::uint32_t value = 0;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) &&
               digits < 3) {
            value = value * 10 + static_cast<std::uint32_t>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || value > 255) return false;
        result = (result << 8) | value;
    }
    if (pos != text.size()) return false;
    address = result;
    return true;
}

bool ParseHex(const std::string& text, std::vector<std::uint8_t>& bytes) {
    // Hex digits, optionally separated by spaces or colons between bytes.
    bytes.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == ':') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) return false;
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        i += 2;
    }
    return true;
}

std::string JsonNode::PathOf(const std::string& key) const {
    return path_.empty() ? key : path_ + "." + key;
}

void JsonNode::Fail(const std::string& what) const {
    throw ScenarioError(path_, what);
}

void JsonNode::FailAt(const std::string& key, const std::string& what) const {
    throw ScenarioError(PathOf(key), what);
}

void JsonNode::RequireObject(std::initializer_list<const char*> allowed) const {
    if (!value_.is_object()) Fail("must be an object");
    for (const auto& item : value_.items()) {
        // "comment" is allowed everywhere, for notes inside scenario files.
        const bool known = item.key() == "comment" ||
                           std::any_of(allowed.begin(), allowed.end(),
                                       [&](const char* name) { return item.key() == name; });
        if (!known) FailAt(item.key(), "unknown field");
    }
}

bool JsonNode::Has(const std::string& key) const {
    return value_.is_object() && value_.contains(key) && !value_.at(key).is_null();
}

JsonNode JsonNode::Child(const std::string& key) const {
    return JsonNode(value_.at(key), PathOf(key));
}

void JsonNode::RequireArray() const {
    if (!value_.is_array()) Fail("must be an array");
}

std::size_t JsonNode::Size() const {
    return value_.is_array() ? value_.size() : 0;
}

JsonNode JsonNode::At(std::size_t index) const {
    return JsonNode(value_.at(index), path_ + "[" + std::to_string(index) + "]");
}

bool JsonNode::Bool(const std::string& key, bool fallback) const {
    if (!Has(key)) return fallback;
    const auto& v = value_.at(key);
    if (!v.is_boolean()) FailAt(key, "must be true or false");
    return v.get<bool>();
}

std::string JsonNode::String(const std::string& key, const std::string& fallback) const {
    if (!Has(key)) return fallback;
    const auto& v = value_.at(key);
    if (!v.is_string()) FailAt(key, "must be a string");
    return v.get<std::string>();
}

double JsonNode::Number(const std::string& key, double fallback, double min, double max) const {
    if (!Has(key)) return fallback;
    const auto& v = value_.at(key);
    if (!v.is_number()) FailAt(key, "must be a number");
    const double value = v.get<double>();
    if (!std::isfinite(value) || value < min || value > max) {
        FailAt(key, "must be " + FormatNumber(min) + " to " + FormatNumber(max));
    }
    return value;
}

std::int64_t JsonNode::Integer(const std::string& key, std::int64_t fallback, std::int64_t min,
                               std::int64_t max) const {
    if (!Has(key)) return fallback;
    const auto& v = value_.at(key);
    if (!v.is_number_integer()) FailAt(key, "must be a whole number");
    const std::int64_t value =
        v.is_number_unsigned()
            ? static_cast<std::int64_t>(std::min<std::uint64_t>(v.get<std::uint64_t>(), INT64_MAX))
            : v.get<std::int64_t>();
    if (value < min || value > max) {
        FailAt(key, "must be " + std::to_string(min) + " to " + std::to_string(max));
    }
    return value;
}

std::size_t JsonNode::Choice(const std::string& key, std::initializer_list<const char*> choices,
                             std::size_t fallback) const {
    if (!Has(key)) return fallback;
    const auto& v = value_.at(key);
    std::string list;
    for (const char* choice : choices) list += (list.empty() ? "" : ", ") + std::string(choice);
    if (!v.is_string()) FailAt(key, "must be one of " + list);
    const std::string text = Lower(v.get<std::string>());
    std::size_t index = 0;
    for (const char* choice : choices) {
        if (text == Lower(choice)) return index;
        ++index;
    }
    FailAt(key, "must be one of " + list);
}

std::optional<MacAddress> JsonNode::Mac(const std::string& key) const {
    if (!Has(key)) return std::nullopt;
    MacAddress mac{};
    const auto& v = value_.at(key);
    if (!v.is_string() || !ParseMac(v.get<std::string>(), mac)) {
        FailAt(key, "must be a MAC address like 00:0f:b5:12:34:56");
    }
    return mac;
}

std::optional<std::string> JsonNode::Ipv4(const std::string& key) const {
    if (!Has(key)) return std::nullopt;
    const auto& v = value_.at(key);
    std::uint32_t address = 0;
    if (!v.is_string() || !ParseIpv4(v.get<std::string>(), address)) {
        FailAt(key, "must be a dotted IPv4 address");
    }
    return v.get<std::string>();
}

std::vector<std::string> JsonNode::Ipv4List(const std::string& key) const {
    std::vector<std::string> list;
    if (!Has(key)) return list;
    const JsonNode array = Child(key);
    array.RequireArray();
    for (std::size_t i = 0; i < array.Size(); ++i) {
        const auto& v = array.Value().at(i);
        std::uint32_t address = 0;
        if (!v.is_string() || !ParseIpv4(v.get<std::string>(), address)) {
            array.At(i).Fail("must be a dotted IPv4 address");
        }
        list.push_back(v.get<std::string>());
    }
    return list;
}

std::optional<std::vector<std::uint8_t>> JsonNode::Hex(const std::string& key) const {
    if (!Has(key)) return std::nullopt;
    const auto& v = value_.at(key);
    std::vector<std::uint8_t> bytes;
    if (!v.is_string() || !ParseHex(v.get<std::string>(), bytes)) {
        FailAt(key, "must be hexadecimal bytes");
    }
    return bytes;
}

}  // namespace tarvik::driver::sim
