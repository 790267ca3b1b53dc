// Walks a list of 802.11 information elements (id, length, body) without
// ever reading past the list. The walk stops at the end of the list, or at
// the first element that does not fit, and then tells which:
//   ElementHeaderTruncated - one byte left where an element header belongs
//   ElementBodyPastEnd     - the element's length runs past the end
// Elements before the bad one are delivered as usual.
//
//   ElementWalker walker(entry.TaggedElements());
//   while (auto element = walker.Next()) { ... element->id, element->body ... }
//   if (walker.Error() != NdisError::None) { log walker.ErrorOffset() }
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ndis/NdisError.h"

namespace tarvik::ndis {

struct Element {
    std::uint8_t id = 0;
    std::span<const std::uint8_t> body;   // `length` bytes
    std::span<const std::uint8_t> whole;  // header and body
    std::size_t offset = 0;               // of the header, within the list
};

class ElementWalker {
  public:
    explicit ElementWalker(std::span<const std::uint8_t> elements) : elements_(elements) {}

    // The next element, or nothing at the end or on a bad element.
    std::optional<Element> Next();

    NdisError Error() const { return error_; }
    // Where the bad element starts, once Error() is set.
    std::size_t ErrorOffset() const { return errorOffset_; }

  private:
    std::span<const std::uint8_t> elements_;
    std::size_t position_ = 0;
    NdisError error_ = NdisError::None;
    std::size_t errorOffset_ = 0;
};

// The first element with this id, walking up to the first bad element.
std::optional<Element> FindElement(std::span<const std::uint8_t> elements, std::uint8_t id);

// The first vendor-specific element (221) whose body starts with oui and type.
std::optional<Element> FindVendorElement(std::span<const std::uint8_t> elements,
                                         const std::uint8_t (&oui)[3], std::uint8_t type);

}  // namespace tarvik::ndis
