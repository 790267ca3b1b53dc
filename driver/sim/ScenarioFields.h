// Path-aware access to a JSON document for the scenario loader: every getter
// checks the type and range of its field and fails with the field's path.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/sim/Scenario.h"

namespace tarvik::driver::sim {

// Thrown inside the loader only; LoadScenario turns it into its message.
class ScenarioError : public std::runtime_error {
  public:
    ScenarioError(const std::string& path, const std::string& what)
        : std::runtime_error(path.empty() ? what : path + ": " + what) {}
};

class JsonNode {
  public:
    JsonNode(const nlohmann::json& value, std::string path)
        : value_(value), path_(std::move(path)) {}

    const nlohmann::json& Value() const { return value_; }
    const std::string& Path() const { return path_; }
    std::string PathOf(const std::string& key) const;

    [[noreturn]] void Fail(const std::string& what) const;
    [[noreturn]] void FailAt(const std::string& key, const std::string& what) const;

    // Objects: refuses keys outside `allowed`, so typing errors are caught.
    void RequireObject(std::initializer_list<const char*> allowed) const;
    bool Has(const std::string& key) const;
    JsonNode Child(const std::string& key) const;
    // Arrays.
    std::size_t Size() const;
    JsonNode At(std::size_t index) const;
    void RequireArray() const;

    bool Bool(const std::string& key, bool fallback) const;
    std::string String(const std::string& key, const std::string& fallback) const;
    double Number(const std::string& key, double fallback, double min, double max) const;
    std::int64_t Integer(const std::string& key, std::int64_t fallback, std::int64_t min,
                         std::int64_t max) const;
    // One of `choices` (case-insensitive); returns its index.
    std::size_t Choice(const std::string& key, std::initializer_list<const char*> choices,
                       std::size_t fallback) const;

    // Field readers for the scenario's own value kinds.
    std::optional<MacAddress> Mac(const std::string& key) const;
    std::optional<std::string> Ipv4(const std::string& key) const;
    std::vector<std::string> Ipv4List(const std::string& key) const;
    std::optional<std::vector<std::uint8_t>> Hex(const std::string& key) const;

  private:
    const nlohmann::json& value_;
    std::string path_;
};

bool ParseMac(const std::string& text, MacAddress& mac);
bool ParseIpv4(const std::string& text, std::uint32_t& address);
bool ParseHex(const std::string& text, std::vector<std::uint8_t>& bytes);

}  // namespace tarvik::driver::sim
