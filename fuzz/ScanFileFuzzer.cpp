// Reads arbitrary bytes as a scan file, from a memory file, in reads whose
// size the first byte picks so that records straddle them. What reads must
// be whole records that store and read back the same.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "networks/Archive.h"
#include "networks/ScanFileReader.h"

using namespace tarvik;

namespace {

int MemoryFile(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("scan-file", MFD_CLOEXEC);
    TARVIK_FUZZ_CHECK(fd >= 0);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        TARVIK_FUZZ_CHECK(n > 0);
        done += static_cast<std::size_t>(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

ScanFileContents ReadBytes(const std::vector<std::uint8_t>& bytes, std::size_t chunk) {
    const int fd = MemoryFile(bytes.data(), bytes.size());
    ScanFileContents contents = ReadScanFileDescriptor(fd, "fuzz", {}, chunk);
    ::close(fd);
    return contents;
}

std::vector<std::uint8_t> Frame(const ScanFileContents& contents) {
    Archive out = Archive::ForStoring();
    out.WriteString(kScanFileSignature);
    out.WriteString(kScanFileVersion);
    out.WriteU32(static_cast<std::uint32_t>(contents.records.size()));
    out.WriteU32(contents.scanCounter);
    for (const BssidRecord& record : contents.records) record->Serialize(out);
    return out.Data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = 1 + data[0];
    const ScanFileContents read = ReadBytes({data + 1, data + size}, chunk);
    TARVIK_FUZZ_CHECK(read.records.size() <= read.declaredCount);
    TARVIK_FUZZ_CHECK(read.fileBytes <= size - 1);
    TARVIK_FUZZ_CHECK((read.status == ScanFileStatus::Read) == read.message.empty());
    for (const BssidRecord& record : read.records) TARVIK_FUZZ_CHECK(record->Entry() != nullptr);
    if (read.status != ScanFileStatus::Read && read.status != ScanFileStatus::Damaged) return 0;

    const std::vector<std::uint8_t> frame = Frame(read);
    const ScanFileContents again = ReadBytes(frame, chunk);
    TARVIK_FUZZ_CHECK(again.status == ScanFileStatus::Read);
    TARVIK_FUZZ_CHECK(again.records.size() == read.records.size());
    TARVIK_FUZZ_CHECK(Frame(again) == frame);
    return 0;
}
