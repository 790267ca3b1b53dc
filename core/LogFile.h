// The capped log file. Its contents are defined by a simple rule: read all
// lines, drop the newest while there are more than the cap, append the new
// line, rewrite. CappedLogFile produces exactly that result, but appends or
// overwrites the last line in place while the file is as it left it, so a
// line costs the same whatever the file's length.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/FileChangeWatch.h"

namespace tarvik {

// Splits file bytes into lines as a reader does: "\n" or "\r\n" ends a line,
// a final line without a line end still counts, nothing after a final line
// end counts.
std::vector<std::string> SplitLogLines(std::string_view content);

// The file bytes the rule leaves after appending `line` to `content` with a
// cap of `maxLines`: at most `maxLines` old lines (the newest beyond the cap
// are dropped), then `line`, every line followed by "\n".
std::string ApplyLiteralAppend(std::string_view content, std::string_view line,
                               std::uint32_t maxLines);

// Appends lines to one file at a time under the rule above. Not thread-safe;
// the event log calls it under its lock. Others' changes are noticed through
// the file's identity (device, inode, size, both times), its last line, and
// inotify where available.
class CappedLogFile {
  public:
    // False when the file could not be opened (a symbolic link in its place is
    // never followed), read or written; the line is then dropped and the next
    // call starts from the file's contents again. A whole rewrite reads the old
    // file in pieces, so memory stays small however long the file or its lines.
    bool AppendLine(const std::filesystem::path& file, std::string_view line,
                    std::uint32_t maxLines);

    // Forgets what is known about the file (tests, benchmarks).
    void Reset() { state_ = {}; }

    // How many lines were written by reading and rewriting the whole file
    // (the first line, and the first after a change by someone else).
    std::uint64_t WholeRewrites() const { return wholeRewrites_; }

  private:
    // What the file looked like right after our last write.
    struct State {
        bool valid = false;
        std::string path;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        std::uint64_t lineCount = 0;
        // Where the line after the first `cutForMax` lines begins; meaningful
        // while lineCount > cutForMax.
        off_t cutOffset = 0;
        std::uint32_t cutForMax = 0;
        bool cutKnown = false;
        std::string tail;  // the last bytes we wrote, checked before reuse
    };

    bool CanAppendInPlace(int fd, const std::string& path, std::uint32_t maxLines,
                          bool changedByOthers) const;
    bool AppendInPlace(int fd, std::string_view line, std::uint32_t maxLines);
    bool RewriteWhole(int fd, const std::filesystem::path& file, std::string_view line,
                      std::uint32_t maxLines);
    void RememberIdentity(const struct stat& st);

    State state_;
    FileChangeWatch watch_;
    std::uint64_t wholeRewrites_ = 0;
};

}  // namespace tarvik
