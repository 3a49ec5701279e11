// The serial ports present on this computer, for choosing the controller's port.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct PortInfo {
  std::string name;         // as PortName takes it: "/dev/ttyUSB0", "COM3"
  std::string description;  // what the system says about it, in Russian words
};

// The ports the system lists, then those named in VORMIK_EXTRA_PORTS (a
// technician's or a test's own candidates), each once.
std::vector<PortInfo> ListSerialPorts();
// The system's own list alone (Linux: the devices under /dev; Windows: the
// SERIALCOMM map and the DOS device names, with the drivers' friendly names).
std::vector<PortInfo> ListSystemSerialPorts();

#ifndef _WIN32
// The ports found under `root` (its dev/ and sys/class/tty/): "" is the real
// system. A ttyS device counts only when the kernel ties it to hardware; a USB
// adapter with a /dev/serial/by-id link is listed once, under that stable name.
std::vector<PortInfo> ListSerialPortsUnder(const std::string& root);
#endif

// "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" -> "FTDI FT232R USB UART A50285BI".
std::string AdapterNameFromById(const std::string& byIdName);
// "ttyS2" before "ttyS10": digit runs compare by value.
bool PortNameLess(const std::string& a, const std::string& b);
// The candidates of a VORMIK_EXTRA_PORTS value: separated by ':' (';' on
// Windows), empty parts skipped.
std::vector<std::string> SplitExtraPorts(const std::string& value);
// `ports` followed by the extra names not already among them.
std::vector<PortInfo> WithExtraPorts(std::vector<PortInfo> ports,
                                     const std::vector<std::string>& extra);

// The Windows names: "COM3" and the like out of QueryDosDevice's list (names
// ended by NUL), in the system's order; other devices left out.
std::vector<std::string> ComNamesIn(const std::string& dosDeviceList);
// A driver's friendly name without the port it ends with:
// "USB Serial Port (COM3)" -> "USB Serial Port".
std::string FriendlyDescription(const std::string& friendlyName, const std::string& portName);

inline constexpr char kExtraPortsVariable[] = "VORMIK_EXTRA_PORTS";

}  // namespace platform
