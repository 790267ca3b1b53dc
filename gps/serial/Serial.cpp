#include "gps/serial/Serial.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "gps/serial/LineSettings.h"
#include "gps/serial/PortName.h"
#include "gps/serial/SerialText.h"
#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

constexpr std::size_t kDefaultInputQueue = 4096;
constexpr std::size_t kLargestInputQueue = 1 << 20;

bool SameLine(const termios& a, const termios& b) {
    constexpr tcflag_t kControl = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    constexpr tcflag_t kInput = INPCK | IXON | IXOFF;
    return (a.c_cflag & kControl) == (b.c_cflag & kControl) &&
           (a.c_iflag & kInput) == (b.c_iflag & kInput) && cfgetospeed(&a) == cfgetospeed(&b) &&
           cfgetispeed(&a) == cfgetispeed(&b);
}

}  // namespace

CSerial::~CSerial() {
    Close();
}

Result CSerial::Record(Result result) {
    lastResult_.store(result);
    return result;
}

Result CSerial::Fail(Result result, const std::string& sentence) {
    {
        std::lock_guard lock(mutex_);
        lastErrorText_ = sentence;
    }
    return Record(result);
}

std::string CSerial::GetLastErrorText() const {
    std::lock_guard lock(mutex_);
    return lastErrorText_;
}

std::string CSerial::Who() const {
    return name_ + " (" + devicePath_ + ")";
}

Result CSerial::Open(const std::string& name, std::uint32_t inQueue, std::uint32_t outQueue,
                     bool overlapped) {
    if (IsOpen()) return Fail(ERROR_ALREADY_INITIALIZED, Who() + " is already open.");
    std::string path;
    std::string problem;
    if (Result r = ResolvePortName(RegistryStore::CurrentUser(), RegistryStore::LocalMachine(),
                                   name, path, problem)) {
        return Fail(r, problem);
    }
    if (Result r = OpenDevice(name, path)) {
        CloseDescriptors();
        return r;
    }
    (void)outQueue;  // writes go straight to the device
    {
        std::lock_guard lock(mutex_);
        input_.clear();
        inputLimit_ =
            inQueue == 0 ? kDefaultInputQueue : std::min<std::size_t>(inQueue, kLargestInputQueue);
        lineErrors_ = 0;
        gone_ = false;
        serial_icounter_struct counts{};
        haveCounters_ = ::ioctl(fd_, TIOCGICOUNT, &counts) == 0;
        counters_[0] = static_cast<std::uint32_t>(counts.brk);
        counters_[1] = static_cast<std::uint32_t>(counts.frame);
        counters_[2] = static_cast<std::uint32_t>(counts.parity);
        counters_[3] = static_cast<std::uint32_t>(counts.overrun + counts.buf_overrun);
    }
    overlapped_ = overlapped;
    eventMask_ = kDefaultEventMask;
    eventChar_ = 0;
    lastEvents_ = 0;
    blockingReads_ = false;
    termios raw = original_;
    MakeRawLine(raw);
    if (::tcsetattr(fd_, TCSANOW, &raw) != 0) {
        const int error = errno;
        CloseDescriptors();
        return Fail(ResultFromErrno(error), "Could not set up " + Who() + ": " + ErrnoText(error));
    }
    return Record(RES_SUCCESS);
}

Result CSerial::OpenDevice(const std::string& name, const std::string& path) {
    name_ = name;
    devicePath_ = path;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        return Fail(ResultFromErrno(error), "Could not open " + Who() + ": " + ErrnoText(error));
    }
    // Refused before opening, so a FIFO or file named as a port is never touched.
    if (!S_ISCHR(info.st_mode)) {
        return Fail(ERROR_NOT_A_SERIAL_DEVICE, Who() + " is not a serial device.");
    }
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        const int error = errno;
        if (error == EBUSY) return Fail(ERROR_ACCESS_DENIED, Who() + " is already in use.");
        return Fail(ResultFromErrno(error), "Could not open " + Who() + ": " + ErrnoText(error));
    }
    if (::fstat(fd_, &info) != 0 || !S_ISCHR(info.st_mode) || ::tcgetattr(fd_, &original_) != 0) {
        return Fail(ERROR_NOT_A_SERIAL_DEVICE, Who() + " is not a serial device.");
    }
    // The lock covers every object and process; TIOCEXCL also stops programs
    // that do not lock (except the superuser's).
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            return Fail(ERROR_ACCESS_DENIED, Who() + " is already in use.");
        }
        return Fail(ResultFromErrno(error), "Could not lock " + Who() + ": " + ErrnoText(error));
    }
    ::ioctl(fd_, TIOCEXCL);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        const int error = errno;
        ::ioctl(fd_, TIOCNXCL);
        return Fail(ResultFromErrno(error), "Could not open " + Who() + ": " + ErrnoText(error));
    }
    return RES_SUCCESS;
}

void CSerial::CloseDescriptors() {
    if (wakeFd_ >= 0) ::close(wakeFd_);
    if (fd_ >= 0) ::close(fd_);
    wakeFd_ = -1;
    fd_ = -1;
}

Result CSerial::Close() {
    if (!IsOpen()) return Record(RES_SUCCESS);
    ::tcsetattr(fd_, TCSANOW, &original_);  // fails harmlessly when the device is gone
    ::ioctl(fd_, TIOCNXCL);
    CloseDescriptors();
    return Record(RES_SUCCESS);
}

bool CSerial::ReadLine(termios& tio) {
    return IsOpen() && ::tcgetattr(fd_, &tio) == 0;
}

Result CSerial::WriteLine(const termios& wanted, const char* what) {
    termios before{};
    termios after{};
    if (!ReadLine(before) || ::tcsetattr(fd_, TCSANOW, &wanted) != 0 || !ReadLine(after)) {
        const int error = errno;
        return Fail(ResultFromErrno(error), "Could not set the " + std::string(what) + " of " +
                                                Who() + ": " + ErrnoText(error));
    }
    if (!SameLine(wanted, after)) {
        ::tcsetattr(fd_, TCSANOW, &before);
        return Fail(ERROR_NOT_A_SERIAL_DEVICE,
                    Who() + " did not take the " + std::string(what) + "; they stay as they were.");
    }
    return Record(RES_SUCCESS);
}

Result CSerial::Setup(std::uint32_t baud, int dataBits, int parity, int stopBits) {
    termios tio{};
    if (!ReadLine(tio)) return Record(IsOpen() ? ResultFromErrno(errno) : ERROR_INVALID_HANDLE);
    if (Result r = ApplyLine(tio, baud, dataBits, parity, stopBits)) {
        return Fail(r, Who() + " cannot use " + std::to_string(baud) + " bits per second with " +
                           std::to_string(dataBits) + " data bits, parity " +
                           std::to_string(parity) + " and stop bits " + std::to_string(stopBits) +
                           ".");
    }
    return WriteLine(tio, "line settings");
}

Result CSerial::SetHandshaking(int mode) {
    termios tio{};
    if (!ReadLine(tio)) return Record(IsOpen() ? ResultFromErrno(errno) : ERROR_INVALID_HANDLE);
    if (Result r = ApplyHandshaking(tio, mode)) {
        return Fail(r, "There is no handshaking mode " + std::to_string(mode) + ".");
    }
    return WriteLine(tio, "handshaking");
}

Result CSerial::SetReadTimeouts(int mode) {
    if (!IsOpen()) return Record(ERROR_INVALID_HANDLE);
    if (mode != READ_TIMEOUT_NONBLOCKING && mode != READ_TIMEOUT_BLOCKING) {
        return Fail(E_INVALIDARG, "There is no read time-out mode " + std::to_string(mode) + ".");
    }
    blockingReads_ = mode == READ_TIMEOUT_BLOCKING;
    return Record(RES_SUCCESS);
}

Result CSerial::SetEventChar(std::uint8_t character, bool adjustMask) {
    if (!IsOpen()) return Record(ERROR_INVALID_HANDLE);
    eventChar_ = character;
    return adjustMask ? SetMask(eventMask_ | EV_RXFLAG) : Record(RES_SUCCESS);
}

Result CSerial::SetMask(std::uint32_t mask) {
    if (!IsOpen()) return Record(ERROR_INVALID_HANDLE);
    eventMask_ = mask;
    Wake();
    return Record(RES_SUCCESS);
}

void CSerial::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

int CSerial::GetBaudRate() {
    termios tio{};
    return ReadLine(tio) ? BaudFromSpeed(cfgetospeed(&tio)) : -1;
}

int CSerial::GetDataBits() {
    termios tio{};
    return ReadLine(tio) ? DataBitsOf(tio) : -1;
}

int CSerial::GetParity() {
    termios tio{};
    return ReadLine(tio) ? ParityOf(tio) : -1;
}

int CSerial::GetStopBits() {
    termios tio{};
    return ReadLine(tio) ? StopBitsOf(tio) : -1;
}

int CSerial::GetHandshaking() {
    termios tio{};
    return ReadLine(tio) ? HandshakingOf(tio) : -1;
}

std::uint32_t CSerial::GetEventMask() {
    return eventMask_;
}

std::uint8_t CSerial::GetEventChar() {
    return IsOpen() ? eventChar_.load() : 0;
}

Result CSerial::CheckRequest(CSerialRequest* request, std::uint32_t timeout) {
    if (!overlapped_ && (request != nullptr || timeout != kInfinite)) return ERROR_INVALID_FUNCTION;
    if (timeout != 0 && timeout != kInfinite) return ERROR_INVALID_PARAMETER;
    if (request) request->Reset();
    return RES_SUCCESS;
}

}  // namespace tarvik
