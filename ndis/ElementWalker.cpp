#include "ndis/ElementWalker.h"

#include <algorithm>

#include "ndis/Elements.h"

namespace tarvik::ndis {

std::optional<Element> ElementWalker::Next() {
    if (error_ != NdisError::None || position_ >= elements_.size()) return std::nullopt;
    const std::size_t left = elements_.size() - position_;
    if (left < 2) {
        error_ = NdisError::ElementHeaderTruncated;
        errorOffset_ = position_;
        return std::nullopt;
    }
    const std::size_t bodyLength = elements_[position_ + 1];
    if (bodyLength > left - 2) {
        error_ = NdisError::ElementBodyPastEnd;
        errorOffset_ = position_;
        return std::nullopt;
    }
    Element element;
    element.id = elements_[position_];
    element.offset = position_;
    element.whole = elements_.subspan(position_, 2 + bodyLength);
    element.body = element.whole.subspan(2);
    position_ += 2 + bodyLength;
    return element;
}

std::optional<Element> FindElement(std::span<const std::uint8_t> elements, std::uint8_t id) {
    ElementWalker walker(elements);
    while (auto element = walker.Next()) {
        if (element->id == id) return element;
    }
    return std::nullopt;
}

std::optional<Element> FindVendorElement(std::span<const std::uint8_t> elements,
                                         const std::uint8_t (&oui)[3], std::uint8_t type) {
    ElementWalker walker(elements);
    while (auto element = walker.Next()) {
        if (element->id != kElementVendorSpecific || element->body.size() < 4) continue;
        if (std::equal(std::begin(oui), std::end(oui), element->body.begin()) &&
            element->body[3] == type) {
            return element;
        }
    }
    return std::nullopt;
}

}  // namespace tarvik::ndis
