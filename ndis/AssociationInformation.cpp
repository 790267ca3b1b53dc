#include "ndis/AssociationInformation.h"

#include <algorithm>

#include "ndis/ByteOrder.h"

namespace tarvik::ndis {

namespace layout = association_information_layout;

namespace {

// The region [offset, offset + length) of `bytes`, when it lies inside.
std::optional<std::span<const std::uint8_t>> Region(std::span<const std::uint8_t> bytes,
                                                    std::uint32_t offset, std::uint32_t length) {
    if (std::uint64_t{offset} + length > bytes.size()) return std::nullopt;
    return bytes.subspan(offset, length);
}

}  // namespace

std::vector<std::uint8_t> BuildAssociationInformation(const AssociationInformation& info) {
    std::vector<std::uint8_t> out(layout::kSize, 0);
    std::uint8_t* p = out.data();
    const auto requestOffset = static_cast<std::uint32_t>(layout::kSize);
    const auto requestLength = static_cast<std::uint32_t>(info.requestIes.size());
    const auto responseLength = static_cast<std::uint32_t>(info.responseIes.size());
    StoreLe32(p + layout::kLength, layout::kSize);
    StoreLe16(p + layout::kAvailableRequestFixedIes, info.availableRequestFixedIes);
    StoreLe16(p + layout::kRequestCapabilities, info.requestCapabilities);
    StoreLe16(p + layout::kRequestListenInterval, info.listenInterval);
    std::copy(info.currentApAddress.begin(), info.currentApAddress.end(),
              p + layout::kRequestCurrentApAddress);
    StoreLe32(p + layout::kRequestIeLength, requestLength);
    StoreLe32(p + layout::kOffsetRequestIes, requestOffset);
    StoreLe16(p + layout::kAvailableResponseFixedIes, info.availableResponseFixedIes);
    StoreLe16(p + layout::kResponseCapabilities, info.responseCapabilities);
    StoreLe16(p + layout::kResponseStatusCode, info.statusCode);
    StoreLe16(p + layout::kResponseAssociationId, info.associationId);
    StoreLe32(p + layout::kResponseIeLength, responseLength);
    StoreLe32(p + layout::kOffsetResponseIes, requestOffset + requestLength);
    out.insert(out.end(), info.requestIes.begin(), info.requestIes.end());
    out.insert(out.end(), info.responseIes.begin(), info.responseIes.end());
    return out;
}

std::optional<AssociationInformation> ParseAssociationInformation(
    std::span<const std::uint8_t> bytes, NdisError* error) {
    auto fail = [error](NdisError why) {
        if (error) *error = why;
        return std::nullopt;
    };
    if (bytes.size() < layout::kSize) return fail(NdisError::TruncatedHeader);
    const std::uint8_t* p = bytes.data();
    const auto request = Region(bytes, LoadLe32(p + layout::kOffsetRequestIes),
                                LoadLe32(p + layout::kRequestIeLength));
    const auto response = Region(bytes, LoadLe32(p + layout::kOffsetResponseIes),
                                 LoadLe32(p + layout::kResponseIeLength));
    if (!request || !response) return fail(NdisError::RegionPastBuffer);

    AssociationInformation info;
    info.availableRequestFixedIes = LoadLe16(p + layout::kAvailableRequestFixedIes);
    info.requestCapabilities = LoadLe16(p + layout::kRequestCapabilities);
    info.listenInterval = LoadLe16(p + layout::kRequestListenInterval);
    std::copy_n(p + layout::kRequestCurrentApAddress, info.currentApAddress.size(),
                info.currentApAddress.begin());
    info.availableResponseFixedIes = LoadLe16(p + layout::kAvailableResponseFixedIes);
    info.responseCapabilities = LoadLe16(p + layout::kResponseCapabilities);
    info.statusCode = LoadLe16(p + layout::kResponseStatusCode);
    info.associationId = LoadLe16(p + layout::kResponseAssociationId);
    info.requestIes.assign(request->begin(), request->end());
    info.responseIes.assign(response->begin(), response->end());
    if (error) *error = NdisError::None;
    return info;
}

}  // namespace tarvik::ndis
