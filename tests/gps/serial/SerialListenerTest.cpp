// CSerialWnd on a real pseudo-terminal: events reach the window on the
// thread that runs the loop, a hang-up is reported once and ends the
// listener, and a stop wakes the listener.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <vector>

#include "core/ApplicationOptions.h"
#include "core/EventLog.h"
#include "gps/serial/SerialWnd.h"
#include "tests/gps/serial/PtyPort.h"

namespace tarvik::test {
namespace {

// The GUI loop's stand-in: posted work runs on the test thread.
class TestLoop : public IEventDispatcher {
  public:
    void Post(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
        posted_.notify_all();
    }
    // Runs posted work until `done` holds; false after ten seconds without
    // new work. Unless `wait`, it stops (true) once nothing is queued.
    bool RunUntil(const std::function<bool()>& done, bool wait = true) {
        std::unique_lock lock(mutex_);
        while (!done()) {
            if (!posted_.wait_for(lock, std::chrono::seconds(wait ? 10 : 0),
                                  [&] { return !queue_.empty(); })) {
                return !wait;
            }
            auto work = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            work();
            lock.lock();
        }
        return true;
    }
    void RunPending() {
        RunUntil([] { return false; }, false);
    }

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

struct Message {
    std::uint32_t number, wParam;
    std::intptr_t lParam;
};

// The window: keeps the messages and reads the port on each, as the GPS code does.
class ReadingWindow : public ISerialMessageTarget {
  public:
    explicit ReadingWindow(CSerial& port) : port_(port) {}
    void OnSerialMessage(std::uint32_t number, std::uint32_t wParam,
                         std::intptr_t lParam) override {
        messages.push_back({number, wParam, lParam});
        char buffer[256];
        std::size_t got = 0;
        lastRead = port_.Read(buffer, sizeof buffer, &got);
        received.append(buffer, got);
    }
    std::vector<Message> messages;
    std::string received;
    Result lastRead = RES_SUCCESS;

  private:
    CSerial& port_;
};

class SerialListenerTest : public PtyPortTest {
  protected:
    void TearDown() override {
        SetLogSettings(nullptr);
        PtyPortTest::TearDown();
    }
    // Switches the event log on into the test's folder; the file it writes.
    std::filesystem::path LogToFile() {
        RegistryStore::LocalMachine().WriteString("SOFTWARE\\Tarvik", "INSTInfo", temp_.Path());
        logSettings_.FileLoggingEnabled = 1;
        SetLogSettings(&logSettings_);
        return temp_.Path() / kLogFileName;
    }

    CApplicationOptions logSettings_{nullptr, "/opt/tarvik/bin/tarvik"};
    TestLoop loop_;
    CSerialWnd port_;
    ReadingWindow window_{port_};
};

TEST_F(SerialListenerTest, DataReachesTheWindowUntilClosed) {
    ASSERT_EQ(port_.Open("COM3", loop_, window_, 0, 77), RES_SUCCESS);
    ASSERT_EQ(port_.SetEventChar('\n'), RES_SUCCESS);
    const std::string sentence = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M*47\r\n";
    SendFromDevice(sentence);
    ASSERT_TRUE(loop_.RunUntil([&] { return window_.received.size() == sentence.size(); }));
    EXPECT_EQ(window_.received, sentence);
    EXPECT_EQ(window_.messages.front().number, kDefaultComMessage);
    EXPECT_EQ(window_.messages.front().lParam, 77);
    EXPECT_EQ(window_.messages.back().wParam, EV_RXCHAR | EV_RXFLAG);

    // A stop wakes the waiting listener; a new one carries on.
    EXPECT_EQ(port_.StopListener(), RES_SUCCESS);
    EXPECT_FALSE(port_.IsListening());
    EXPECT_EQ(port_.StartListener(), RES_SUCCESS);
    SendFromDevice("$GPZDA");
    ASSERT_TRUE(loop_.RunUntil([&] { return window_.received.ends_with("$GPZDA"); }));

    // Closing while the listener waits ends it, and nothing more is posted.
    EXPECT_EQ(port_.Close(), RES_SUCCESS);
    EXPECT_FALSE(port_.IsListening());
    loop_.RunPending();
    const std::size_t messages = window_.messages.size();
    SendFromDevice("$GPRMC");
    loop_.RunPending();
    EXPECT_EQ(window_.messages.size(), messages);
}

// An unplugged receiver: one message with the I/O error in the high word,
// then the listener ends by itself instead of spinning.
TEST_F(SerialListenerTest, VanishedDeviceIsReportedOnceAndEndsTheListener) {
    const auto log = LogToFile();
    ASSERT_EQ(port_.Open("COM3", loop_, window_), RES_SUCCESS);
    SendFromDevice("$GP");
    ASSERT_TRUE(loop_.RunUntil([&] { return window_.received == "$GP"; }));
    UnplugDevice();
    EXPECT_EQ(port_.WaitForListenerEnd(), ERROR_DEVICE_NOT_CONNECTED);
    loop_.RunPending();
    ASSERT_FALSE(window_.messages.empty());
    EXPECT_EQ(window_.messages.back().wParam, (CE_IOE << 16) | EV_ERR);
    EXPECT_EQ(window_.received, "$GP");
    EXPECT_EQ(window_.lastRead, ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_NE(port_.GetLastErrorText().find("went away"), std::string::npos);
    EXPECT_EQ(port_.WaitEvent(nullptr, 0), ERROR_DEVICE_NOT_CONNECTED);
    std::ostringstream logged;
    logged << std::ifstream(log).rdbuf();
    EXPECT_NE(logged.str().find("App: Warn: The serial port COM3 (" + port_.GetDevicePath() +
                                ") stopped listening: the device is gone."),
              std::string::npos)
        << logged.str();
    EXPECT_EQ(port_.Close(), RES_SUCCESS);
}

}  // namespace
}  // namespace tarvik::test
