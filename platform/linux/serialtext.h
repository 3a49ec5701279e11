// Turning the settings' texts for the serial port (port name, line mode) into
// what the Linux terminal layer needs; kept apart so tests can reach them.
#pragma once

#include <termios.h>

#include <string>

namespace platform {

// "COM3" (any letter case) -> "/dev/ttyS2"; "/dev/pts/4" stays as it is;
// "ttyUSB0" -> "/dev/ttyUSB0". Returns "" for a name that cannot be a device
// (empty, "COM0", a ".." component that would leave /dev).
std::string ResolvePortName(const std::string& portName);

struct LineMode {
  speed_t speed = B9600;
  char parity = 'N';  // 'N', 'E' or 'O'
  int dataBits = 8;   // 5..8
  int stopBits = 1;   // 1 or 2
};

// Reads "9600,N,8,1": baud, parity N/E/O, data bits 5-8, stop bits 1/2.
// Spaces around a field are allowed; anything else gives false.
bool ParseLineMode(const std::string& text, LineMode& mode);

// Makes the settings raw (no translation, no echo, no flow control, modem
// lines ignored, reads that never block) with the given speed and framing.
bool SetRawLine(termios& tio, const LineMode& line);

}  // namespace platform
