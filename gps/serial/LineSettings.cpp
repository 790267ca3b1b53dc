#include "gps/serial/LineSettings.h"

#include <array>
#include <utility>

#include "gps/serial/SerialDefs.h"

namespace tarvik {
namespace {

constexpr std::array<std::pair<std::uint32_t, speed_t>, 30> kSpeeds{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

constexpr std::array<tcflag_t, 4> kSizes{CS5, CS6, CS7, CS8};

}  // namespace

bool SpeedFromBaud(std::uint32_t baud, speed_t& speed) {
    for (const auto& [rate, code] : kSpeeds) {
        if (rate == baud) {
            speed = code;
            return true;
        }
    }
    return false;
}

int BaudFromSpeed(speed_t speed) {
    for (const auto& [rate, code] : kSpeeds) {
        if (code == speed) return static_cast<int>(rate);
    }
    return -1;
}

Result ApplyLine(termios& tio, std::uint32_t baud, int dataBits, int parity, int stopBits) {
    speed_t speed = B0;
    if (!SpeedFromBaud(baud, speed) || dataBits < 5 || dataBits > 8 || parity < PARITY_NONE ||
        parity > PARITY_SPACE || stopBits < STOPBITS_ONE || stopBits > STOPBITS_TWO ||
        (stopBits == STOPBITS_ONE_AND_HALF && dataBits != 5) ||
        (stopBits == STOPBITS_TWO && dataBits == 5)) {
        return ERROR_INVALID_PARAMETER;
    }
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB)) |
                  kSizes[static_cast<std::size_t>(dataBits - 5)];
    if (stopBits != STOPBITS_ONE) tio.c_cflag |= CSTOPB;
    static constexpr std::array<tcflag_t, 5> kParity{0, PARENB | PARODD, PARENB,
                                                     PARENB | CMSPAR | PARODD, PARENB | CMSPAR};
    tio.c_cflag |= kParity[static_cast<std::size_t>(parity)];
    if (parity == PARITY_NONE) {
        tio.c_iflag &= ~INPCK;
    } else {
        tio.c_iflag |= INPCK;
    }
    return RES_SUCCESS;
}

int DataBitsOf(const termios& tio) {
    for (std::size_t i = 0; i < kSizes.size(); ++i) {
        if ((tio.c_cflag & CSIZE) == kSizes[i]) return static_cast<int>(i) + 5;
    }
    return -1;
}

int ParityOf(const termios& tio) {
    if ((tio.c_iflag & INPCK) == 0 || (tio.c_cflag & PARENB) == 0) return PARITY_NONE;
    const bool odd = (tio.c_cflag & PARODD) != 0;
    if (tio.c_cflag & CMSPAR) return odd ? PARITY_MARK : PARITY_SPACE;
    return odd ? PARITY_ODD : PARITY_EVEN;
}

int StopBitsOf(const termios& tio) {
    if ((tio.c_cflag & CSTOPB) == 0) return STOPBITS_ONE;
    return (tio.c_cflag & CSIZE) == CS5 ? STOPBITS_ONE_AND_HALF : STOPBITS_TWO;
}

Result ApplyHandshaking(termios& tio, int mode) {
    switch (mode) {
        case HANDSHAKE_OFF:
            tio.c_cflag &= ~CRTSCTS;
            tio.c_iflag &= ~(IXON | IXOFF);
            return RES_SUCCESS;
        case HANDSHAKE_HARDWARE:  // receive-side XOFF is left as it was
            tio.c_cflag |= CRTSCTS;
            tio.c_iflag &= ~IXON;
            return RES_SUCCESS;
        case HANDSHAKE_SOFTWARE:
            tio.c_cflag &= ~CRTSCTS;
            tio.c_iflag |= IXON | IXOFF;
            return RES_SUCCESS;
        default:
            return E_INVALIDARG;
    }
}

int HandshakingOf(const termios& tio) {
    if (tio.c_cflag & CRTSCTS) return HANDSHAKE_HARDWARE;
    if ((tio.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF)) return HANDSHAKE_SOFTWARE;
    return HANDSHAKE_OFF;
}

void MakeRawLine(termios& tio) {
    cfmakeraw(&tio);
    tio.c_cflag |= CREAD | CLOCAL;
    // With the port's O_NONBLOCK an empty queue then reads as EAGAIN, so end
    // of file means only one thing: the device hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

}  // namespace tarvik
