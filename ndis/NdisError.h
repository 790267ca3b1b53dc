// What went wrong when outside bytes did not fit an NDIS layout. Every value
// has one fixed meaning; DescribeNdisError gives a sentence fit for a log.
#pragma once

namespace tarvik::ndis {

enum class NdisError {
    None = 0,
    TruncatedHeader,           // buffer shorter than the structure's fixed header
    ItemLengthBelowFixedPart,  // a BSSID item's Length is below its fixed part
    ItemLengthPastBuffer,      // a BSSID item's Length runs past the buffer
    ItemCountExceedsItems,     // NumberOfItems is larger than the items present
    IeLengthPastItem,          // IELength runs past the end of its item
    LengthFieldMismatch,       // a structure's own Length field disagrees with its bytes
    ValueTooLong,              // a length field exceeds its field's capacity
    RegionPastBuffer,          // an offset/length pair points outside the buffer
    ElementHeaderTruncated,    // fewer than 2 bytes left for an element's id and length
    ElementBodyPastEnd,        // an element's length runs past the end of the list
    InvalidArgument,           // a builder was given a value the layout cannot hold
};

// "the buffer is shorter than the structure's fixed header", ...
const char* DescribeNdisError(NdisError error);

}  // namespace tarvik::ndis
