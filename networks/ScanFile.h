// Scan files: the whole network list with every record's history and the
// scan counter, so a survey can be stopped, reopened and combined with others.
//
// Frame (little-endian, counted strings as in Archive.h): the signature
// "BSSID_LIST", the frame version "1.2", the record count N (u32), the scan
// counter (u32), then N records as CBssid::Serialize writes them. Nothing
// follows the last record.
//
// Reading never touches a network list: ReadScanFileContents fills a
// ScanFileContents (any thread), and ApplyScanFile hands it to the list on
// the thread that owns the list. Writing goes through CScanFileWriter, which
// serializes records on the caller's thread (the one that changes them) and
// replaces the file atomically when committed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/ResultCodes.h"
#include "networks/NetworkList.h"

namespace tarvik {

inline constexpr std::string_view kScanFileSignature = "BSSID_LIST";
inline constexpr std::string_view kScanFileVersion = "1.2";
inline constexpr const char* kScanFileExtension = "tvk";

// Told the bytes done and the bytes in all now and then during long work;
// returning false cancels it.
using ScanFileProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

enum class ScanFileStatus {
    Read,         // every record read
    CannotOpen,   // missing, unreadable, not a regular file
    NotScanFile,  // wrong signature or frame version
    Damaged,      // a bad count, a bad record or a cut-off file: see message
    Cancelled,    // the progress callback said stop
};

struct ScanFileContents {
    ScanFileStatus status = ScanFileStatus::CannotOpen;
    std::uint32_t scanCounter = 0;
    // N as the header gives it.
    std::uint32_t declaredCount = 0;
    // In file order; when Damaged, the good records before the fault. Every
    // record here has a scan entry.
    std::vector<BssidRecord> records;
    // How many of `records` were stored in the older record version "1.2"
    // (the others are "1.21").
    std::size_t olderVersionRecords = 0;
    // Empty when Read; otherwise what the user is told, naming the file and,
    // for a damaged file, the record index and byte offset of the fault.
    std::string message;
    std::uint64_t fileBytes = 0;
};

// Reads a whole scan file without touching any list; any thread.
ScanFileContents ReadScanFileContents(const std::filesystem::path& path,
                                      const ScanFileProgress& progress = {});

// Hands read records to the list (its owning thread). Opening (`merge`
// false): the list's scan counter := the file's, every record appended.
// Merging: a record whose scan entry matches a listed one (MatchEntry, which
// stamps the listed record) is dropped, any other gets lastSeenScan 0 and is
// appended. Returns the number of records appended.
std::size_t ApplyScanFile(CNetworkList& list, ScanFileContents&& contents, bool merge);

// Writes a scan file beside its final place and renames it over the old
// one, so a reader (or a crash) sees the old file or the new one, never a
// mix. A symbolic link at `path` stays; its target is replaced.
class CScanFileWriter {
  public:
    CScanFileWriter();
    // Drops the temporary file unless committed.
    ~CScanFileWriter();
    CScanFileWriter(const CScanFileWriter&) = delete;
    CScanFileWriter& operator=(const CScanFileWriter&) = delete;

    // Creates the temporary file and writes the frame's head.
    // RES_SUCCESS or RES_FILE_OPEN_FAILED.
    Result Begin(const std::filesystem::path& path, std::uint32_t scanCounter);
    // Serializes records after those appended before (the caller's thread
    // must be the one that changes them). A record without a scan entry is
    // left out: no reader could take it back. RES_SUCCESS or
    // RES_ARCHIVE_FAILED.
    Result Append(std::span<const BssidRecord> records);
    // Sets the count to the records appended, flushes to disk and renames
    // over the file: RES_FILE_SAVED or RES_ARCHIVE_FAILED.
    Result Commit();
    // Drops the temporary file; the old file stays as it was.
    void Abandon();

    std::uint32_t RecordsWritten() const { return records_; }
    std::uint64_t BytesWritten() const { return bytes_; }
    // Why the last step failed, for the log.
    const std::string& Error() const { return error_; }

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::uint32_t records_ = 0;
    std::uint64_t bytes_ = 0;
    std::string error_;
};

// The whole list at once: Begin, Append, Commit. RES_FILE_SAVED,
// RES_FILE_OPEN_FAILED or RES_ARCHIVE_FAILED; `error` says why.
Result WriteScanFileRecords(const std::filesystem::path& path, std::uint32_t scanCounter,
                            std::span<const BssidRecord> records, std::string& error);

}  // namespace tarvik
