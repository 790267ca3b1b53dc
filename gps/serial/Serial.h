// A serial port over termios: open by name, line settings, handshaking,
// read time-outs, event waits, reads and writes. Every operation records its
// result (GetLastResult) and returns it, or returns the value asked for;
// nothing throws. A failure also leaves an English sentence in
// GetLastErrorText naming the port and its device.
//
// Received bytes pass through the port's input queue (the size given to
// Open): WaitEvent moves what arrived into it, Read takes from it first. A
// device that goes away (read gives end of file or EIO, as when a USB
// receiver is unplugged) makes waits and reads fail with
// ERROR_DEVICE_NOT_CONNECTED from then on, after one EV_ERR event with CE_IOE.
//
// Threads: WaitEvent may run on one thread while another reads, writes or
// changes settings; Open and Close must not run while another thread uses
// the port.
#pragma once

#include <termios.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "gps/serial/SerialDefs.h"

namespace tarvik {

class CSerial {
  public:
    CSerial() = default;
    virtual ~CSerial();
    CSerial(const CSerial&) = delete;
    CSerial& operator=(const CSerial&) = delete;

    // ERROR_ALREADY_INITIALIZED when open. The device must be a terminal (a
    // symbolic link to one is fine); another open of the same device, by any
    // object or process, is refused with ERROR_ACCESS_DENIED. Queue sizes of
    // 0 keep the default input queue of 4096 bytes (at most 1 MiB). Then the
    // event mask is 0xC1, reads are non-blocking and the line is raw.
    virtual Result Open(const std::string& name, std::uint32_t inQueue = 0,
                        std::uint32_t outQueue = 0, bool overlapped = false);
    virtual Result Close();
    // Reads the device's settings back after writing them: a value the device
    // did not take gives ERROR_NOT_A_SERIAL_DEVICE and the old settings stay.
    virtual Result Setup(std::uint32_t baud, int dataBits, int parity, int stopBits);
    virtual Result SetEventChar(std::uint8_t character, bool adjustMask = true);
    // Also ends a wait in progress (with no events), as the listener's stop needs.
    virtual Result SetMask(std::uint32_t mask);
    // Time-out 0 checks once (ERROR_TIMEOUT when nothing happened) or kInfinite.
    virtual Result WaitEvent(CSerialRequest* request = nullptr, std::uint32_t timeout = kInfinite);
    virtual Result SetHandshaking(int mode);
    virtual Result SetReadTimeouts(int mode);
    virtual int GetBaudRate();
    virtual int GetDataBits();
    virtual int GetParity();
    virtual int GetStopBits();
    virtual int GetHandshaking();
    virtual std::uint32_t GetEventMask();
    virtual std::uint8_t GetEventChar();
    virtual Result Write(const std::string& text, CSerialRequest* request = nullptr,
                         std::uint32_t timeout = kInfinite);
    virtual Result Write(const void* data, std::size_t size, std::size_t* written = nullptr,
                         CSerialRequest* request = nullptr, std::uint32_t timeout = kInfinite);
    virtual Result Read(void* buffer, std::size_t size, std::size_t* read = nullptr,
                        CSerialRequest* request = nullptr, std::uint32_t timeout = kInfinite);

    bool IsOpen() const { return fd_ >= 0; }
    Result GetLastResult() const { return lastResult_.load(); }
    std::string GetLastErrorText() const;
    // The port's name and device, as "COM3 (/dev/ttyUSB0)", once Open was called.
    std::string GetName() const { return Who(); }
    // The device path the open port uses.
    const std::string& GetDevicePath() const { return devicePath_; }

  protected:
    // The events of the last completed wait, cleared.
    std::uint32_t TakeLastEvents() { return lastEvents_.exchange(0); }
    // The line errors gathered since the last call, cleared.
    std::uint32_t TakeLineErrors();

    Result Record(Result result);
    Result Fail(Result result, const std::string& sentence);

  private:
    Result OpenDevice(const std::string& name, const std::string& path);
    Result CheckRequest(CSerialRequest* request, std::uint32_t timeout);
    bool ReadLine(termios& tio);
    Result WriteLine(const termios& wanted, const char* what);
    // Moves what the device has into the input queue; the events it makes.
    std::uint32_t FillQueueLocked();
    void CountLineErrorsLocked();
    void Wake();
    void CloseDescriptors();
    std::string Who() const;

    std::atomic<Result> lastResult_ = RES_SUCCESS;
    int fd_ = -1;
    int wakeFd_ = -1;  // eventfd: a mask change ends a wait
    bool overlapped_ = false;
    std::string name_;
    std::string devicePath_;
    termios original_{};
    std::atomic<std::uint32_t> lastEvents_ = 0;
    std::atomic<std::uint32_t> eventMask_ = 0;
    std::atomic<std::uint8_t> eventChar_ = 0;
    std::atomic<bool> blockingReads_ = false;

    mutable std::mutex mutex_;  // guards what follows
    std::deque<std::uint8_t> input_;
    std::size_t inputLimit_ = 0;
    std::uint32_t lineErrors_ = 0;
    bool gone_ = false;
    bool haveCounters_ = false;
    std::uint32_t counters_[4] = {};  // break, frame, parity, overrun as last seen
    std::string lastErrorText_;
};

}  // namespace tarvik
