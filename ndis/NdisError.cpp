#include "ndis/NdisError.h"

namespace tarvik::ndis {

const char* DescribeNdisError(NdisError error) {
    switch (error) {
        case NdisError::None:
            return "no error";
        case NdisError::TruncatedHeader:
            return "the buffer is shorter than the structure's fixed header";
        case NdisError::ItemLengthBelowFixedPart:
            return "a BSSID item's length is below the item's fixed part";
        case NdisError::ItemLengthPastBuffer:
            return "a BSSID item's length runs past the end of the buffer";
        case NdisError::ItemCountExceedsItems:
            return "the item count is larger than the items present";
        case NdisError::IeLengthPastItem:
            return "the information element length runs past the end of its item";
        case NdisError::LengthFieldMismatch:
            return "the structure's length field does not match its size";
        case NdisError::ValueTooLong:
            return "a length field exceeds the capacity of its field";
        case NdisError::RegionPastBuffer:
            return "an offset and length point outside the buffer";
        case NdisError::ElementHeaderTruncated:
            return "an element header is cut off at the end of the list";
        case NdisError::ElementBodyPastEnd:
            return "an element's length runs past the end of the list";
        case NdisError::InvalidArgument:
            return "a value does not fit the layout";
    }
    return "unknown error";
}

}  // namespace tarvik::ndis
