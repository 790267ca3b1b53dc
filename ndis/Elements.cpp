#include "ndis/Elements.h"

#include <algorithm>

#include "ndis/ByteOrder.h"

namespace tarvik::ndis {

namespace {

void AppendSelector(std::vector<std::uint8_t>& out, const std::uint8_t (&oui)[3],
                    std::uint8_t type) {
    out.insert(out.end(), std::begin(oui), std::end(oui));
    out.push_back(type);
}

template <typename Suite>
void AppendSuiteList(std::vector<std::uint8_t>& out, const std::uint8_t (&oui)[3],
                     const std::vector<Suite>& suites) {
    AppendLe16(out, static_cast<std::uint16_t>(suites.size()));
    for (Suite suite : suites) AppendSelector(out, oui, static_cast<std::uint8_t>(suite));
}

// The body from the group cipher on; both elements share it.
void AppendSuites(std::vector<std::uint8_t>& body, const std::uint8_t (&oui)[3],
                  const SecurityElementSuites& suites) {
    AppendSelector(body, oui, static_cast<std::uint8_t>(suites.group));
    const bool needAkm = !suites.akm.empty() || suites.capabilities.has_value();
    const bool needPairwise = !suites.pairwise.empty() || needAkm;
    if (needPairwise) AppendSuiteList(body, oui, suites.pairwise);
    if (needAkm) AppendSuiteList(body, oui, suites.akm);
    if (suites.capabilities) AppendLe16(body, *suites.capabilities);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> BuildElement(std::uint8_t id,
                                                      std::span<const std::uint8_t> body) {
    if (body.size() > kMaxElementBody) return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(2 + body.size());
    out.push_back(id);
    out.push_back(static_cast<std::uint8_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::optional<std::vector<std::uint8_t>> BuildSsidElement(std::span<const std::uint8_t> ssid) {
    if (ssid.size() > kMaxSsidLength) return std::nullopt;
    return BuildElement(kElementSsid, ssid);
}

std::optional<std::vector<std::uint8_t>> BuildSsidElement(std::string_view ssid) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(ssid.data());
    return BuildSsidElement(std::span(data, ssid.size()));
}

std::optional<std::vector<std::uint8_t>> BuildSupportedRatesElement(
    std::span<const std::uint8_t> rates) {
    if (rates.size() > kMaxSupportedRates) return std::nullopt;
    return BuildElement(kElementSupportedRates, rates);
}

std::optional<std::vector<std::uint8_t>> BuildExtendedRatesElement(
    std::span<const std::uint8_t> rates) {
    return BuildElement(kElementExtendedRates, rates);
}

std::optional<std::vector<std::uint8_t>> BuildRateElements(std::span<const std::uint8_t> rates) {
    const std::size_t first = std::min(rates.size(), kMaxSupportedRates);
    auto out = BuildSupportedRatesElement(rates.first(first));
    if (!out || rates.size() == first) return out;
    auto extended = BuildExtendedRatesElement(rates.subspan(first));
    if (!extended) return std::nullopt;
    out->insert(out->end(), extended->begin(), extended->end());
    return out;
}

std::vector<std::uint8_t> BuildDsParameterSetElement(std::uint8_t channel) {
    return {kElementDsParameterSet, 1, channel};
}

std::optional<std::vector<std::uint8_t>> BuildWpaElement(const SecurityElementSuites& suites) {
    std::vector<std::uint8_t> body;
    AppendSelector(body, kWpaOui, kWpaVendorType);
    AppendLe16(body, 1);  // version
    AppendSuites(body, kWpaOui, suites);
    return BuildElement(kElementVendorSpecific, body);
}

std::optional<std::vector<std::uint8_t>> BuildRsnElement(const SecurityElementSuites& suites) {
    std::vector<std::uint8_t> body;
    AppendLe16(body, 1);  // version
    AppendSuites(body, kRsnOui, suites);
    return BuildElement(kElementRsn, body);
}

}  // namespace tarvik::ndis
