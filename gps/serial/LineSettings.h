// Line settings on a termios record: baud rate, data bits, parity, stop bits
// and handshaking in the numbering the serial port classes use.
#pragma once

#include <termios.h>

#include <cstdint>

#include "core/ResultCodes.h"

namespace tarvik {

// The termios speed of a baud rate; false for a rate termios cannot express.
bool SpeedFromBaud(std::uint32_t baud, speed_t& speed);
// The baud rate of a termios speed, -1 when unknown.
int BaudFromSpeed(speed_t speed);

// Sets all four; ERROR_INVALID_PARAMETER (nothing changed) for a value out of
// range: data bits 5-8, parity 0-4, stop bits 0-2 with 1.5 only for 5 data
// bits and 2 only for 6-8 (as a UART's stop-bit flag behaves).
Result ApplyLine(termios& tio, std::uint32_t baud, int dataBits, int parity, int stopBits);

int DataBitsOf(const termios& tio);
// 0 when the parity check is off, whatever the parity bits hold.
int ParityOf(const termios& tio);
int StopBitsOf(const termios& tio);

// E_INVALIDARG (nothing changed) for an unknown mode.
Result ApplyHandshaking(termios& tio, int mode);
int HandshakingOf(const termios& tio);

// Raw bytes, receiver on, modem lines ignored.
void MakeRawLine(termios& tio);

}  // namespace tarvik
