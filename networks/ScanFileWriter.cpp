#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <utility>

#include "networks/Archive.h"
#include "networks/ScanFile.h"
#include "networks/ScanFileReader.h"
#include "platform/AtomicFile.h"

namespace tarvik {
namespace {

// Records are serialized into one buffer and written when it holds this much.
constexpr std::size_t kWriteBufferBytes = 256u << 10;
constexpr int kTemporaryNameAttempts = 64;

bool WriteAll(int fd, std::span<const std::uint8_t> data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

// "<file>.tmp-XXXXXX", the pattern RemoveStaleTemporaryFiles knows. Created
// with mode 0666 so that the umask applies as for any new file.
int CreateTemporary(const std::filesystem::path& file, std::filesystem::path& temporary) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::string name = file.string() + ".tmp-";
        for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            temporary = name;
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

void SyncFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

struct CScanFileWriter::Impl {
    int fd = -1;
    std::filesystem::path target;
    std::filesystem::path temporary;
    Archive buffer = Archive::ForStoring();
    bool keepMode = false;
    mode_t mode = 0;
    bool failed = false;

    ~Impl() {
        if (fd >= 0) ::close(fd);
        if (!temporary.empty()) ::unlink(temporary.c_str());
    }

    bool Flush() {
        if (!WriteAll(fd, buffer.Data())) return false;
        buffer.ClearData();
        return true;
    }
};

CScanFileWriter::CScanFileWriter() = default;
CScanFileWriter::~CScanFileWriter() = default;

Result CScanFileWriter::Begin(const std::filesystem::path& path, std::uint32_t scanCounter) {
    Abandon();
    records_ = 0;
    bytes_ = 0;
    error_.clear();
    auto impl = std::make_unique<Impl>();
    if (!ResolveLinks(path, impl->target, error_)) return RES_FILE_OPEN_FAILED;
    struct stat st;
    if (::stat(impl->target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            error_ = impl->target.string() + " is not a regular file";
            return RES_FILE_OPEN_FAILED;
        }
        impl->keepMode = true;
        impl->mode = st.st_mode & 07777;
    }
    impl->fd = CreateTemporary(impl->target, impl->temporary);
    if (impl->fd < 0) {
        error_ = "cannot create a file in " + impl->target.parent_path().string() + ": " +
                 ErrnoText(errno);
        impl->temporary.clear();
        return RES_FILE_OPEN_FAILED;
    }
    Archive& head = impl->buffer;
    head.WriteString(kScanFileSignature);
    head.WriteString(kScanFileVersion);
    head.WriteU32(0);  // the count, set when committed
    head.WriteU32(scanCounter);
    bytes_ = head.Data().size();
    impl_ = std::move(impl);
    return RES_SUCCESS;
}

Result CScanFileWriter::Append(std::span<const BssidRecord> records) {
    if (!impl_ || impl_->failed) {
        if (error_.empty()) error_ = "the scan file was not begun";
        return RES_ARCHIVE_FAILED;
    }
    for (const BssidRecord& record : records) {
        // A record without a scan entry cannot be read back (the reader
        // stops at it), so it is left out rather than spoil the records after it.
        if (!record || record->Entry() == nullptr) continue;
        if (records_ == UINT32_MAX) {
            impl_->failed = true;
            error_ = "too many records for one scan file";
            return RES_ARCHIVE_FAILED;
        }
        const std::size_t before = impl_->buffer.Data().size();
        record->Serialize(impl_->buffer);
        bytes_ += impl_->buffer.Data().size() - before;
        ++records_;
        if (impl_->buffer.Data().size() >= kWriteBufferBytes && !impl_->Flush()) {
            impl_->failed = true;
            error_ = "cannot write " + impl_->temporary.string() + ": " + ErrnoText(errno);
            return RES_ARCHIVE_FAILED;
        }
    }
    return RES_SUCCESS;
}

Result CScanFileWriter::Commit() {
    if (!impl_ || impl_->failed) {
        if (error_.empty()) error_ = "the scan file was not begun";
        Abandon();
        return RES_ARCHIVE_FAILED;
    }
    Impl& impl = *impl_;
    const auto fail = [&](const char* step) {
        error_ =
            std::string("cannot ") + step + " " + impl.temporary.string() + ": " + ErrnoText(errno);
        Abandon();
        return RES_ARCHIVE_FAILED;
    };
    std::uint8_t count[4];
    for (int i = 0; i < 4; ++i) count[i] = static_cast<std::uint8_t>(records_ >> (8 * i));
    if (!impl.Flush() ||
        ::pwrite(impl.fd, count, sizeof count, kScanFileCountOffset) != sizeof count) {
        return fail("write");
    }
    if (impl.keepMode && ::fchmod(impl.fd, impl.mode) != 0) return fail("set the mode of");
    if (::fsync(impl.fd) != 0) return fail("flush");
    const int fd = std::exchange(impl.fd, -1);
    if (::close(fd) != 0) return fail("close");
    if (::rename(impl.temporary.c_str(), impl.target.c_str()) != 0) return fail("rename");
    impl.temporary.clear();  // it is the file now
    SyncFolder(impl.target.parent_path());
    RemoveAbandonedTemporaryFiles(impl.target);
    impl_.reset();
    return RES_FILE_SAVED;
}

void CScanFileWriter::Abandon() {
    impl_.reset();
}

Result WriteScanFileRecords(const std::filesystem::path& path, std::uint32_t scanCounter,
                            std::span<const BssidRecord> records, std::string& error) {
    CScanFileWriter writer;
    Result result = writer.Begin(path, scanCounter);
    if (result == RES_SUCCESS) result = writer.Append(records);
    if (result == RES_SUCCESS) result = writer.Commit();
    error = writer.Error();
    return result;
}

}  // namespace tarvik
