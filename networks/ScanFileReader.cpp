#include "networks/ScanFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "networks/Archive.h"
#include "networks/ScanFileChunks.h"
#include "platform/AtomicFile.h"

namespace tarvik {
namespace {

constexpr std::string_view kRecordSignature = "BSSID";
constexpr std::string_view kRecordVersion = "1.21";
constexpr std::string_view kOlderRecordVersion = "1.2";
// Items 3-11 of a record: seven 32-bit fields, the 32-byte security block
// and the hopping flag.
constexpr std::size_t kRecordFixedFields = 7 * 4 + 32 + 4;
// Progress is told about this often: often enough for a smooth bar, far less
// often than once a record.
constexpr std::uint64_t kProgressSteps = 200;
constexpr std::uint64_t kSmallestProgressStep = 256u << 10;

// A counted string as the user may read it: printable ASCII, cut short.
std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text.substr(0, 24)) out += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (text.size() > 24) out += "...";
    return out;
}

// Where one record ends, found from its framing alone, so the record's own
// reader always gets the whole record.
struct RecordExtent {
    enum Kind { Complete, Short, BadSignature, BadVersion } kind = Short;
    std::size_t size = 0;    // Complete: the record's bytes
    std::uint64_t need = 0;  // Short: bytes needed, when the framing tells (else 0)
    std::string text;        // BadSignature, BadVersion: what was found
    bool older = false;      // Complete: version "1.2"
};

RecordExtent MeasureRecord(std::span<const std::uint8_t> bytes) {
    RecordExtent extent;
    Archive archive = Archive::ForLoadingView(bytes);
    const std::string signature = archive.ReadString();
    if (archive.Failed()) return extent;
    if (signature != kRecordSignature) return {RecordExtent::BadSignature, 0, 0, signature};
    const std::string version = archive.ReadString();
    if (archive.Failed()) return extent;
    if (version != kRecordVersion && version != kOlderRecordVersion)
        return {RecordExtent::BadVersion, 0, 0, version};
    archive.Skip(kRecordFixedFields);
    const std::uint32_t entryLength = archive.ReadU32();
    if (archive.Failed()) return extent;
    // At least a position flag follows the entry.
    extent.need = archive.Position() + std::uint64_t{entryLength} + 4;
    const int positions = version == kRecordVersion ? 2 : 1;
    archive.Skip(entryLength);
    for (int i = 0; i < positions && !archive.Failed(); ++i) {
        if (archive.ReadU32() != 0) archive.Skip(kGpsFixBlockSize);
    }
    if (archive.Failed()) return extent;
    return {RecordExtent::Complete, archive.Position(), 0, {}, positions == 1};
}

class CFrameReader {
  public:
    CFrameReader(int fd, const std::string& name, const ScanFileProgress& progress,
                 std::uint64_t fileSize)
        : chunks_(fd, fileSize), name_(name), progress_(progress), fileSize_(fileSize) {
        step_ = std::max(kSmallestProgressStep, fileSize / kProgressSteps);
    }

    ScanFileContents Read() {
        if (ReadHead() && ReadRecords()) CheckTail();
        contents_.fileBytes = chunks_.Offset();
        if (contents_.status == ScanFileStatus::Read && progress_ &&
            !progress_(fileSize_, fileSize_)) {
            Cancel();
        }
        return std::move(contents_);
    }

  private:
    bool Fail(ScanFileStatus status, const std::string& what) {
        contents_.status = status;
        contents_.message = name_ + ": " + what;
        return false;
    }

    bool ReadFailed() {
        return Fail(ScanFileStatus::Damaged, "read failed at byte offset " +
                                                 std::to_string(chunks_.Offset()) + ": " +
                                                 ErrnoText(chunks_.Error()));
    }

    void Cancel() {
        contents_.status = ScanFileStatus::Cancelled;
        contents_.records.clear();
        contents_.message = name_ + ": reading cancelled";
    }

    bool ReadHead() {
        if (!chunks_.Fill(kScanFileHeadBytes)) return ReadFailed();
        const std::span<const std::uint8_t> head = chunks_.Available();
        if (head.empty()) return Fail(ScanFileStatus::NotScanFile, "the file is empty");
        Archive archive = Archive::ForLoadingView(head);
        const std::string signature = archive.ReadString();
        if (archive.Failed()) return HeadCut(head);
        if (signature != kScanFileSignature)
            return Fail(ScanFileStatus::NotScanFile, "not a scan file (no BSSID_LIST signature)");
        const std::string version = archive.ReadString();
        if (archive.Failed()) return HeadCut(head);
        if (version != kScanFileVersion)
            return Fail(ScanFileStatus::NotScanFile,
                        "scan file version \"" + Printable(version) + "\" is not supported");
        contents_.declaredCount = archive.ReadU32();
        contents_.scanCounter = archive.ReadU32();
        if (archive.Failed()) return HeadCut(head);
        chunks_.Consume(archive.Position());
        return true;
    }

    // A file shorter than its head: damaged when what there is starts as a
    // scan file does, otherwise some other file.
    bool HeadCut(std::span<const std::uint8_t> head) {
        static constexpr std::uint8_t kStart[] = {10,  'B', 'S', 'S', 'I', 'D', '_', 'L',
                                                  'I', 'S', 'T', 3,   '1', '.', '2'};
        const std::size_t n = std::min(head.size(), sizeof kStart);
        if (!std::equal(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(n), kStart))
            return Fail(ScanFileStatus::NotScanFile, "not a scan file (too short)");
        return Fail(ScanFileStatus::Damaged, "the file ends inside its header, after " +
                                                 std::to_string(head.size()) + " bytes");
    }

    std::string RecordPlace(std::uint32_t index) const {
        return "record " + std::to_string(index + 1) + " of " +
               std::to_string(contents_.declaredCount) + " (counting from 1) at byte offset " +
               std::to_string(chunks_.Offset());
    }

    bool BadRecord(std::uint32_t index, const std::string& what) {
        return Fail(ScanFileStatus::Damaged,
                    RecordPlace(index) + ": " + what +
                        "; good records before it: " + std::to_string(contents_.records.size()));
    }

    bool ReadRecords() {
        // Never more room than the bytes left could fill, whatever the count says.
        const std::uint64_t room = chunks_.Left() / kSmallestRecordBytes;
        contents_.records.reserve(
            static_cast<std::size_t>(std::min<std::uint64_t>(contents_.declaredCount, room)));
        for (std::uint32_t i = 0; i < contents_.declaredCount; ++i) {
            if (!ReadRecord(i)) return false;
            if (chunks_.Offset() >= nextReport_) {
                nextReport_ = chunks_.Offset() + step_;
                if (progress_ && !progress_(chunks_.Offset(), fileSize_)) {
                    Cancel();
                    return false;
                }
            }
        }
        return true;
    }

    bool ReadRecord(std::uint32_t index) {
        RecordExtent extent;
        for (;;) {
            if (!chunks_.Fill(1)) return ReadFailed();
            const std::span<const std::uint8_t> bytes = chunks_.Available();
            if (bytes.empty()) return BadRecord(index, "the file ends before it");
            extent = MeasureRecord(bytes);
            if (extent.kind != RecordExtent::Short) break;
            if (chunks_.AllRead())
                return BadRecord(index, "the file ends inside it (or a length in it is wrong)");
            // The framing says how much it needs once the entry length is
            // known; before that, grow step by step, never past the file.
            if (extent.need > chunks_.Left())
                return BadRecord(index, "its entry length runs past the end of the file");
            const std::uint64_t grown =
                std::min<std::uint64_t>(bytes.size() * 2, chunks_.Left() + 1);
            const std::uint64_t want =
                std::max({extent.need, grown, std::uint64_t{bytes.size()} + 1});
            if (!chunks_.Fill(static_cast<std::size_t>(want))) return ReadFailed();
        }
        if (extent.kind == RecordExtent::BadSignature)
            return BadRecord(index, "wrong record signature \"" + Printable(extent.text) + "\"");
        if (extent.kind == RecordExtent::BadVersion)
            return BadRecord(index,
                             "record version \"" + Printable(extent.text) + "\" is not supported");
        Archive archive = Archive::ForLoadingView(chunks_.Available().first(extent.size));
        auto record = std::make_shared<CBssid>();
        if (record->Serialize(archive) != 0) return BadRecord(index, "its scan entry is damaged");
        if (record->Entry() == nullptr) return BadRecord(index, "it has no scan entry");
        contents_.records.push_back(std::move(record));
        if (extent.older) ++contents_.olderVersionRecords;
        chunks_.Consume(extent.size);
        return true;
    }

    void CheckTail() {
        if (!chunks_.Fill(1)) {
            ReadFailed();
            return;
        }
        if (chunks_.Available().empty()) {
            contents_.status = ScanFileStatus::Read;
            return;
        }
        const std::uint64_t offset = chunks_.Offset();
        Fail(ScanFileStatus::Damaged,
             "unexpected bytes after the last record, from byte offset " + std::to_string(offset) +
                 "; records read: " + std::to_string(contents_.records.size()));
    }

    CScanFileChunks chunks_;
    const std::string& name_;
    const ScanFileProgress& progress_;
    std::uint64_t fileSize_;
    std::uint64_t step_ = 0;
    std::uint64_t nextReport_ = 0;
    ScanFileContents contents_;
};

}  // namespace

ScanFileContents ReadScanFileDescriptor(int fd, const std::string& name,
                                        const ScanFileProgress& progress) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ScanFileContents contents;
        contents.message = name + ": not a regular file";
        return contents;
    }
    return CFrameReader(fd, name, progress, static_cast<std::uint64_t>(st.st_size)).Read();
}

ScanFileContents ReadScanFileContents(const std::filesystem::path& path,
                                      const ScanFileProgress& progress) {
    const std::string name = path.string();
    ScanFileContents contents;
    // Non-blocking, so that a FIFO or a device cannot hold the open up; only
    // reading is asked for, so read-only files open too.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        contents.message = name + ": cannot open: " + ErrnoText(errno);
        return contents;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        contents.message = name + ": cannot open: " + ErrnoText(errno);
    } else if (!S_ISREG(st.st_mode)) {
        contents.message = name + (S_ISDIR(st.st_mode) ? ": is a folder" : ": not a regular file");
    }
    if (!contents.message.empty()) {
        ::close(fd);
        return contents;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    contents = ReadScanFileDescriptor(fd, name, progress);
    ::close(fd);
    return contents;
}

}  // namespace tarvik
