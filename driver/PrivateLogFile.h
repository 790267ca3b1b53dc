// An append-only log the daemon writes while it runs (the trace, the
// capture): created with mode 0600, never through a symbolic link, and each
// record written with one write() so a killed daemon leaves whole records.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarvik::driver {

class CPrivateLogFile {
  public:
    CPrivateLogFile() = default;
    ~CPrivateLogFile();
    CPrivateLogFile(const CPrivateLogFile&) = delete;
    CPrivateLogFile& operator=(const CPrivateLogFile&) = delete;

    // Creates or empties `path`. Refuses a symbolic link, anything but a
    // regular file, and a file of another user; `error` says why.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return fd_ >= 0; }
    // Writes all of `bytes`; false (and the file closed) on a write error.
    bool Write(std::span<const std::uint8_t> bytes);
    bool Write(const std::string& text);

  private:
    int fd_ = -1;
};

}  // namespace tarvik::driver
