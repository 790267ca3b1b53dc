#include "core/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tarvik {
namespace {

constexpr mode_t kLogFileMode = 0644;
// How much of the last written line is compared before the file is reused.
constexpr std::size_t kMaxTailCheck = 4096;

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A file is a fixed point of the rule (reading and rewriting it changes
// nothing) unless a "\r\n" would be read as a line end and written back as "\n".
bool RewritesUnchanged(std::string_view bytes) {
    return bytes.find("\r\n") == bytes.npos;
}

bool WriteAllAt(int fd, std::string_view bytes, off_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                   offset + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// What the rule keeps of the old file, as copied by CopyKeptLines.
struct KeptLines {
    off_t size = 0;
    std::uint64_t lines = 0;
    bool hasCrLf = false;
    char lastByte = '\n';
};

// Copies the lines the rule keeps from `in` to `out` (which may be the same
// file: the copy never writes ahead of what it has read), in pieces, so that
// memory stays bounded whatever the file's size or line length.
bool CopyKeptLines(int in, int out, std::uint32_t maxLines, KeptLines& kept) {
    char buffer[65536];
    std::string piece;
    off_t readOffset = 0;
    bool pendingCr = false;  // a '\r' that a following '\n' would drop
    bool inLine = false;     // bytes seen since the last line end
    const auto put = [&](char c) {
        if (c == '\n') {
            kept.hasCrLf = kept.hasCrLf || kept.lastByte == '\r';
            ++kept.lines;
        }
        kept.lastByte = c;
        piece += c;
    };
    const auto flush = [&] {
        if (!WriteAllAt(out, piece, kept.size)) return false;
        kept.size += static_cast<off_t>(piece.size());
        piece.clear();
        return true;
    };
    while (kept.lines < maxLines) {
        const ssize_t n = ::pread(in, buffer, sizeof buffer, readOffset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        readOffset += n;
        for (ssize_t i = 0; i < n && kept.lines < maxLines; ++i) {
            const char c = buffer[i];
            if (pendingCr && c != '\n') put('\r');
            pendingCr = c == '\r';
            if (!pendingCr) put(c);
            inLine = c != '\n';
        }
        if (!flush()) return false;
    }
    if (kept.lines < maxLines && inLine) {  // a last line without a line end
        if (pendingCr) put('\r');
        put('\n');
    }
    return flush();
}

// Writes the kept lines and then `chunk` to a flushed temporary file and
// renames it over `file`; `written` receives the new file's status, taken
// after the rename (which changes its change time).
bool ReplaceFile(const std::filesystem::path& file, int in, std::uint32_t maxLines,
                 std::string_view chunk, mode_t mode, KeptLines& kept, struct stat& written) {
    std::string temp = file.string() + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fchmod(fd, mode) == 0 && CopyKeptLines(in, fd, maxLines, kept) &&
                    WriteAllAt(fd, chunk, kept.size) && ::fsync(fd) == 0 &&
                    ::rename(temp.c_str(), file.c_str()) == 0 && ::fstat(fd, &written) == 0;
    ::close(fd);
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

// Offset just past the `count`-th "\n" of `bytes`, or npos when there are fewer.
std::size_t OffsetAfterLines(std::string_view bytes, std::uint64_t count) {
    std::size_t position = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t end = bytes.find('\n', position);
        if (end == bytes.npos) return bytes.npos;
        position = end + 1;
    }
    return position;
}

std::string_view TailOf(std::string_view bytes) {
    return bytes.substr(bytes.size() - std::min(bytes.size(), kMaxTailCheck));
}

// Replacing by rename is safe only for a plain file that is not a link target.
bool CanReplaceByRename(const std::filesystem::path& file) {
    struct stat st {};
    return ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1;
}

}  // namespace

std::vector<std::string> SplitLogLines(std::string_view content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find('\n', start);
        if (end == content.npos) {
            lines.emplace_back(content.substr(start));
            break;
        }
        std::size_t stop = end;
        if (stop > start && content[stop - 1] == '\r') --stop;
        lines.emplace_back(content.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

std::string ApplyLiteralAppend(std::string_view content, std::string_view line,
                               std::uint32_t maxLines) {
    std::vector<std::string> lines = SplitLogLines(content);
    if (lines.size() > maxLines) lines.resize(maxLines);  // drops the newest
    std::string result;
    result.reserve(content.size() + line.size() + 1);
    for (const std::string& kept : lines) {
        result += kept;
        result += '\n';
    }
    result += line;
    result += '\n';
    return result;
}

bool CappedLogFile::AppendLine(const std::filesystem::path& file, std::string_view line,
                               std::uint32_t maxLines) {
    // Non-blocking so that a FIFO in the file's place cannot stall the log; a
    // link in its place is refused, so the log never rewrites another file.
    const int fd =
        ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, kLogFileMode);
    if (fd < 0) {
        state_ = {};
        return false;
    }
    // Taken before our own write: pending events are someone else's.
    const bool changedByOthers = watch_.Changed();
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        if (CanAppendInPlace(fd, file.string(), maxLines, changedByOthers)) {
            ok = AppendInPlace(fd, line, maxLines);
        } else {
            ok = RewriteWhole(fd, file, line, maxLines);
        }
    }
    if (ok) {
        state_.path = file.string();
        watch_.Follow(file, state_.device, state_.inode);
    }
    ::close(fd);
    if (!ok) {
        state_ = {};
    }
    return ok;
}

bool CappedLogFile::CanAppendInPlace(int fd, const std::string& path, std::uint32_t maxLines,
                                     bool changedByOthers) const {
    if (!state_.valid || changedByOthers || state_.path != path) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    if (st.st_dev != state_.device || st.st_ino != state_.inode || st.st_size != state_.size ||
        !SameTime(st.st_mtim, state_.modified) || !SameTime(st.st_ctim, state_.changed)) {
        return false;  // changed by someone else since our last write
    }
    // Cutting back needs the offset of the first maxLines lines.
    if (state_.lineCount > maxLines && !(state_.cutKnown && state_.cutForMax == maxLines)) {
        return false;
    }
    const std::string& tail = state_.tail;
    if (tail.size() > static_cast<std::size_t>(state_.size)) return false;
    std::string onDisk(tail.size(), '\0');
    const ssize_t n =
        ::pread(fd, onDisk.data(), onDisk.size(), state_.size - static_cast<off_t>(tail.size()));
    return n == static_cast<ssize_t>(tail.size()) && onDisk == tail;
}

bool CappedLogFile::AppendInPlace(int fd, std::string_view line, std::uint32_t maxLines) {
    std::string chunk(line);
    chunk += '\n';

    // The rule drops every line past the first maxLines before appending.
    const bool cut = state_.lineCount > maxLines;
    const off_t offset = cut ? state_.cutOffset : state_.size;
    const std::uint64_t keptLines = cut ? maxLines : state_.lineCount;

    const off_t end = offset + static_cast<off_t>(chunk.size());
    if (!WriteAllAt(fd, chunk, offset)) return false;
    if (end < state_.size && ::ftruncate(fd, end) != 0) return false;

    const auto added = static_cast<std::uint64_t>(std::count(chunk.begin(), chunk.end(), '\n'));
    if (keptLines <= maxLines && keptLines + added > maxLines) {
        // This chunk crosses the cap: remember where the lines beyond it begin.
        state_.cutOffset =
            offset + static_cast<off_t>(OffsetAfterLines(chunk, maxLines - keptLines));
        state_.cutForMax = maxLines;
        state_.cutKnown = true;
    }
    state_.lineCount = keptLines + added;
    state_.tail = std::string(TailOf(chunk));
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    RememberIdentity(st);
    state_.valid = RewritesUnchanged(chunk);
    return true;
}

bool CappedLogFile::RewriteWhole(int fd, const std::filesystem::path& file, std::string_view line,
                                 std::uint32_t maxLines) {
    ++wholeRewrites_;
    std::string chunk(line);
    chunk += '\n';

    KeptLines kept;
    struct stat written {};
    bool replaced = false;
    if (CanReplaceByRename(file)) {
        struct stat old {};
        const mode_t mode = ::fstat(fd, &old) == 0 ? (old.st_mode & 07777) : kLogFileMode;
        replaced = ReplaceFile(file, fd, maxLines, chunk, mode, kept, written);
    }
    if (!replaced) {
        // A read-only folder or a linked file: rewrite in place, as the rule says.
        kept = {};
        if (!CopyKeptLines(fd, fd, maxLines, kept) || !WriteAllAt(fd, chunk, kept.size) ||
            ::ftruncate(fd, kept.size + static_cast<off_t>(chunk.size())) != 0 ||
            ::fstat(fd, &written) != 0) {
            return false;
        }
    }

    RememberIdentity(written);
    state_.lineCount =
        kept.lines + static_cast<std::uint64_t>(std::count(chunk.begin(), chunk.end(), '\n'));
    state_.cutKnown = state_.lineCount > maxLines;
    state_.cutForMax = maxLines;
    state_.cutOffset =
        state_.cutKnown
            ? kept.size + static_cast<off_t>(OffsetAfterLines(chunk, maxLines - kept.lines))
            : 0;
    // The last line written begins after the chunk's second-to-last line end
    // (the kept lines end with one).
    const std::size_t previousEnd =
        chunk.size() >= 2 ? chunk.rfind('\n', chunk.size() - 2) : chunk.npos;
    state_.tail = std::string(
        TailOf(std::string_view(chunk).substr(previousEnd == chunk.npos ? 0 : previousEnd + 1)));
    state_.valid = !kept.hasCrLf && RewritesUnchanged(chunk);
    return true;
}

void CappedLogFile::RememberIdentity(const struct stat& st) {
    state_.device = st.st_dev;
    state_.inode = st.st_ino;
    state_.size = st.st_size;
    state_.modified = st.st_mtim;
    state_.changed = st.st_ctim;
}

}  // namespace tarvik
