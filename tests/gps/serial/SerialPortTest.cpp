// CSerial on a real pseudo-terminal: line settings read back from the
// device, refused names and settings, exclusive opening, reads and writes.
#include <gtest/gtest.h>

#include "gps/serial/PortName.h"
#include "gps/serial/Serial.h"
#include "tests/gps/serial/PtyPort.h"

namespace tarvik::test {
namespace {

using SerialPortTest = PtyPortTest;

struct LineRow {
    const char* name;
    std::uint32_t baud;
    int dataBits, parity, stopBits;
    Result expected;
};
void PrintTo(const LineRow& row, std::ostream* out) {
    *out << row.name;
}

class SerialLineTest : public PtyPortTest, public ::testing::WithParamInterface<LineRow> {};

// Accepted settings read back from the device; refused ones leave it as it was.
TEST_P(SerialLineTest, ReadsBackOrLeavesTheLineAlone) {
    const LineRow& row = GetParam();
    CSerial port;
    ASSERT_EQ(port.Open("COM3"), RES_SUCCESS);
    ASSERT_EQ(port.Setup(4800, 8, PARITY_NONE, STOPBITS_ONE), RES_SUCCESS);
    EXPECT_EQ(port.Setup(row.baud, row.dataBits, row.parity, row.stopBits), row.expected);
    EXPECT_EQ(port.GetLastResult(), row.expected);
    const bool taken = row.expected == RES_SUCCESS;
    EXPECT_EQ(port.GetBaudRate(), taken ? static_cast<int>(row.baud) : 4800);
    EXPECT_EQ(port.GetDataBits(), taken ? row.dataBits : 8);
    EXPECT_EQ(port.GetParity(), taken ? row.parity : PARITY_NONE);
    EXPECT_EQ(port.GetStopBits(), taken ? row.stopBits : STOPBITS_ONE);
    if (!taken) {
        EXPECT_NE(port.GetLastErrorText().find("COM3"), std::string::npos);
    }
}

// A pseudo-terminal keeps 8 data bits without parity whatever it is told.
INSTANTIATE_TEST_SUITE_P(
    Serial, SerialLineTest,
    ::testing::Values(LineRow{"Gps9600", 9600, 8, PARITY_NONE, STOPBITS_ONE, RES_SUCCESS},
                      LineRow{"Fast115200TwoStop", 115200, 8, PARITY_NONE, STOPBITS_TWO, 0},
                      LineRow{"UnsupportedBaud", 250001, 8, PARITY_NONE, STOPBITS_ONE, 87},
                      LineRow{"NineDataBits", 9600, 9, PARITY_NONE, STOPBITS_ONE, 87},
                      LineRow{"ParityFive", 9600, 8, 5, STOPBITS_ONE, 87},
                      LineRow{"OneAndHalfStopWithEightBits", 9600, 8, 0, STOPBITS_ONE_AND_HALF, 87},
                      LineRow{"SevenBitsTheDeviceRefuses", 9600, 7, PARITY_EVEN, 0,
                              ERROR_NOT_A_SERIAL_DEVICE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialPortTest, HandshakingReadsBackAndAnUnknownModeChangesNothing) {
    CSerial port;
    ASSERT_EQ(port.Open("COM3"), RES_SUCCESS);
    for (int mode : {HANDSHAKE_HARDWARE, HANDSHAKE_SOFTWARE, HANDSHAKE_OFF, HANDSHAKE_SOFTWARE}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(port.SetHandshaking(mode), RES_SUCCESS);
        EXPECT_EQ(port.GetHandshaking(), mode);
    }
    EXPECT_EQ(port.SetHandshaking(3), E_INVALIDARG);
    EXPECT_EQ(port.GetHandshaking(), HANDSHAKE_SOFTWARE);
}

struct NameRow {
    const char* name;
    const char* port;
    Result expected;
    const char* inText;
};
void PrintTo(const NameRow& row, std::ostream* out) {
    *out << row.name;
}

class SerialNameTest : public PtyPortTest, public ::testing::WithParamInterface<NameRow> {};

TEST_P(SerialNameTest, RefusesWithAReason) {
    const NameRow& row = GetParam();
    CSerial port;
    EXPECT_EQ(port.Open(row.port), row.expected);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_NE(port.GetLastErrorText().find(row.inText), std::string::npos)
        << port.GetLastErrorText();
}

INSTANTIATE_TEST_SUITE_P(
    Serial, SerialNameTest,
    ::testing::Values(NameRow{"NotAComName", "GPS", ERROR_FILE_NOT_FOUND, "no serial port"},
                      NameRow{"ComZero", "COM0", ERROR_FILE_NOT_FOUND, "no serial port"},
                      NameRow{"RegularFile", "COM5", ERROR_NOT_A_SERIAL_DEVICE, "plain-file"},
                      NameRow{"Fifo", "COM6", ERROR_NOT_A_SERIAL_DEVICE, "fifo"},
                      NameRow{"MissingDevice", "COM7", ERROR_FILE_NOT_FOUND, "missing"},
                      NameRow{"RelativePath", "COM8", ERROR_FILE_NOT_FOUND, "absolute"},
                      NameRow{"UnmappedUsesTtyS", "\\\\.\\COM200", ERROR_FILE_NOT_FOUND,
                              "/dev/ttyS199"}),
    [](const auto& info) { return std::string(info.param.name); });

// The user's own map comes first (no root needed); a port the user has not
// mapped falls through to the machine's map, then to /dev/ttyS{n-1}.
TEST_F(SerialPortTest, TheUserMapIsConsultedBeforeTheMachineMap) {
    const std::string tty = ::ttyname(slave_);
    const std::string link = (temp_.Path() / "gps-link").string();
    ASSERT_TRUE(User().WriteString(kSerialPortsKey, "COM5", tty));   // machine: plain-file
    ASSERT_TRUE(User().WriteString(kSerialPortsKey, "COM8", link));  // machine: relative
    ASSERT_TRUE(User().WriteString(kSerialPortsKey, "COM10", "ttyUSB1"));
    const std::pair<const char*, std::string> rows[] = {
        {"COM5", tty},
        {"\\\\.\\COM8", link},
        {"COM3", tty},
        {"COM11", "/dev/ttyS10"},
        {"COM10",
         "in SOFTWARE\\Tarvik\\Ports of the user hive, which is not an absolute device path."}};
    for (const auto& [name, pathOrProblem] : rows) {
        std::string path, problem;
        ResolvePortName(User(), RegistryStore::LocalMachine(), name, path, problem);
        EXPECT_EQ(path.empty() ? problem.substr(problem.find(" in ") + 1) : path, pathOrProblem);
    }
    CSerial port;
    EXPECT_EQ(port.Open("COM5"), RES_SUCCESS) << port.GetLastErrorText();
}

// The same device through a symbolic link is the same port: one open at a time.
TEST_F(SerialPortTest, OneOpenAtATime) {
    CSerial first;
    CSerial second;
    ASSERT_EQ(first.Open("COM3"), RES_SUCCESS);
    EXPECT_EQ(first.Open("COM3"), ERROR_ALREADY_INITIALIZED);
    EXPECT_GT(first.GetBaudRate(), 0);
    EXPECT_TRUE(first.IsOpen());
    EXPECT_EQ(second.Open("COM4"), ERROR_ACCESS_DENIED);
    EXPECT_NE(second.GetLastErrorText().find("in use"), std::string::npos);
    EXPECT_EQ(first.Write("$"), RES_SUCCESS);
    EXPECT_EQ(first.Close(), RES_SUCCESS);
    EXPECT_EQ(first.Close(), RES_SUCCESS);
    EXPECT_EQ(second.Open("com4"), RES_SUCCESS);
}

TEST_F(SerialPortTest, ReadsAndWritesBothWays) {
    CSerial port;
    ASSERT_EQ(port.Open("COM3"), RES_SUCCESS);
    ASSERT_EQ(port.Write("$PGRMO,,3*74\r\n"), RES_SUCCESS);
    char echo[64] = {};
    ASSERT_EQ(::read(master_, echo, sizeof echo), 14);
    EXPECT_STREQ(echo, "$PGRMO,,3*74\r\n");

    char buffer[8] = {};
    std::size_t got = 99;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &got), RES_SUCCESS);  // nothing there: at once
    EXPECT_EQ(got, 0u);
    ASSERT_EQ(port.SetReadTimeouts(READ_TIMEOUT_BLOCKING), RES_SUCCESS);
    SendFromDevice("$GP");
    SendFromDevice("GLL");
    EXPECT_EQ(port.Read(buffer, 6, &got), RES_SUCCESS);  // waits for all six
    EXPECT_EQ(std::string(buffer, got), "$GPGLL");
}

// A full input queue leaves the rest in the device, in order, and a wait on
// it ends only when a read makes room.
TEST_F(SerialPortTest, AFullInputQueueKeepsTheRestInTheDevice) {
    CSerial port;
    ASSERT_EQ(port.Open("COM3", 4, 0, true), RES_SUCCESS);
    SendFromDevice("$GPGSV,");
    AwaitBytesInDevice(7);
    ASSERT_EQ(port.WaitEvent(), RES_SUCCESS);
    EXPECT_EQ(port.WaitEvent(nullptr, 0), ERROR_TIMEOUT);
    char buffer[7] = {};
    std::size_t got = 0;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &got, nullptr, 0), RES_SUCCESS);
    EXPECT_EQ(std::string(buffer, got), "$GPGSV,");
}

// Misuse gives the documented code and never touches the device.
TEST_F(SerialPortTest, MisuseResults) {
    CSerial port;
    CSerialRequest request;
    char byte = 0;
    EXPECT_EQ(port.Read(&byte, 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.Setup(4800, 8, 0, 0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.GetBaudRate(), -1);
    EXPECT_EQ(port.GetEventChar(), 0);
    ASSERT_EQ(port.Open("COM3"), RES_SUCCESS);
    EXPECT_EQ(port.Read(&byte, 1, nullptr, &request), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(port.WaitEvent(nullptr, 0), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(port.SetReadTimeouts(2), E_INVALIDARG);
    EXPECT_EQ(port.GetEventMask(), kDefaultEventMask);
    EXPECT_EQ(port.SetEventChar('\n'), RES_SUCCESS);
    EXPECT_EQ(port.GetEventMask(), kDefaultEventMask | EV_RXFLAG);
    EXPECT_EQ(port.GetEventChar(), '\n');
}

}  // namespace
}  // namespace tarvik::test
