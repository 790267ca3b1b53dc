// A pseudo-terminal whose slave is named as serial port COM3 in a real
// machine hive file, beside ports that must be refused.
#pragma once

#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>

#include "tests/platform/HiveFolder.h"

namespace tarvik::test {

class PtyPortTest : public HiveFolderTest {
  protected:
    void SetUp() override {
        HiveFolderTest::SetUp();
        ASSERT_EQ(::openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
        const std::string tty = ::ttyname(slave_);
        const auto dir = temp_.Path();
        std::filesystem::create_symlink(tty, dir / "gps-link");
        std::ofstream(dir / "plain-file") << "not a tty";
        ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
        std::filesystem::create_directories(MachineFile().parent_path());
        std::ofstream(MachineFile()) << "Windows Registry Editor Version 5.00\r\n\r\n"
                                     << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvik\\Ports]\r\n"
                                     << "\"COM3\"=\"" << tty << "\"\r\n"
                                     << "\"COM4\"=\"" << (dir / "gps-link").string() << "\"\r\n"
                                     << "\"COM5\"=\"" << (dir / "plain-file").string() << "\"\r\n"
                                     << "\"COM6\"=\"" << (dir / "fifo").string() << "\"\r\n"
                                     << "\"COM7\"=\"" << (dir / "missing").string() << "\"\r\n"
                                     << "\"COM8\"=\"dev/ttyUSB0\"\r\n";
    }
    void TearDown() override {
        UnplugDevice();
        ::close(slave_);
    }
    // The far end hangs up, as a USB receiver that is pulled out.
    void UnplugDevice() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    void SendFromDevice(const std::string& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Waits until the port's side holds `count` unread bytes.
    void AwaitBytesInDevice(int count) {
        for (int queued = 0; ::ioctl(slave_, FIONREAD, &queued) == 0 && queued < count;) {
            std::this_thread::yield();
        }
    }

    int master_ = -1;
    int slave_ = -1;
};

}  // namespace tarvik::test
