// The scan-file reader on an open descriptor, for callers that have bytes
// rather than a path (the fuzz target reads from a memory file). Most code
// wants ReadScanFileContents (ScanFile.h).
#pragma once

#include <cstddef>
#include <string>

#include "networks/ScanFile.h"

namespace tarvik {

// The fewest bytes a record the reader accepts can take: "BSSID", "1.2",
// items 3-11, the entry length, an entry's fixed part and one position flag.
inline constexpr std::size_t kSmallestRecordBytes = 6 + 4 + 64 + 4 + 116 + 4;
// Where the record count sits in the frame: after the two counted strings.
inline constexpr std::size_t kScanFileCountOffset = 1 + 10 + 1 + 3;
inline constexpr std::size_t kScanFileHeadBytes = kScanFileCountOffset + 8;

// Reads a scan file from `fd`, which must be a regular file positioned at its
// start; `name` is the file's name in messages. The descriptor stays open.
ScanFileContents ReadScanFileDescriptor(int fd, const std::string& name,
                                        const ScanFileProgress& progress = {});

}  // namespace tarvik
