// The serial ports of a Linux system, read from /dev and /sys/class/tty.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "platform/portlist.h"

namespace platform {

namespace {

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The last part of where a link points: "../../ttyUSB0" -> "ttyUSB0".
std::string LinkTargetName(const std::string& linkPath) {
  char buffer[4096];
  const ssize_t length = readlink(linkPath.c_str(), buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  std::string target(buffer, static_cast<size_t>(length));
  while (!target.empty() && target.back() == '/') target.pop_back();
  const size_t slash = target.rfind('/');
  return slash == std::string::npos ? target : target.substr(slash + 1);
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The kernel's UART types (include/uapi/linux/serial_core.h) a PC has.
std::string UartName(int type) {
  static const std::map<int, const char*> kNames = {{1, "8250"},    {2, "16450"},  {3, "16550"},
                                                    {4, "16550A"},  {5, "Cirrus"}, {6, "16650"},
                                                    {7, "16650V2"}, {8, "16750"}};
  const auto found = kNames.find(type);
  return found != kNames.end() ? found->second : "тип " + std::to_string(type);
}

// A ttyS device the kernel keeps for a UART that may not be there: it is real
// only when tied to a device, and its UART type is known (0 is "unknown").
bool RealSerialPort(const std::string& ttyFolder, std::string& description) {
  if (!Exists(ttyFolder + "/device")) return false;
  const std::string type = FirstLine(ttyFolder + "/type");
  if (type.empty()) {
    description = "последовательный порт";
    return true;
  }
  int value = 0;
  try {
    value = std::stoi(type);
  } catch (...) {
    return false;
  }
  if (value == 0) return false;
  description = "последовательный порт " + UartName(value);
  return true;
}

std::string UsbDescription(const std::string& ttyFolder, const std::string& name) {
  const std::string driver = LinkTargetName(ttyFolder + "/device/driver");
  const std::string kind = StartsWith(name, "ttyACM") ? "USB-модем (CDC ACM)" : "USB-адаптер";
  return driver.empty() ? kind : kind + " (" + driver + ")";
}

int KindRank(const std::string& device) {
  // USB adapters first: a PC of today reaches the controller through one.
  return StartsWith(device, "ttyS") ? 1 : 0;
}

}  // namespace

std::vector<PortInfo> ListSerialPortsUnder(const std::string& root) {
  const std::string dev = root + "/dev/";
  const std::string sysTty = root + "/sys/class/tty/";
  struct Found {
    std::string device;  // "ttyUSB0"
    PortInfo info;
  };
  std::vector<Found> found;
  std::set<std::string> named;  // devices listed under a by-id name
  for (const std::string& link : Entries(dev + "serial/by-id")) {
    const std::string device = LinkTargetName(dev + "serial/by-id/" + link);
    if (device.empty() || !Exists(dev + device) || named.count(device) != 0) continue;
    named.insert(device);
    found.push_back(
        {device, {dev + "serial/by-id/" + link, AdapterNameFromById(link) + " (" + device + ")"}});
  }
  for (const std::string& name : Entries(dev)) {
    if (named.count(name) != 0) continue;
    std::string description;
    if (StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM")) {
      description = UsbDescription(sysTty + name, name);
    } else if (!StartsWith(name, "ttyS") || !RealSerialPort(sysTty + name, description)) {
      continue;
    }
    found.push_back({name, {dev + name, description}});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    if (KindRank(a.device) != KindRank(b.device)) return KindRank(a.device) < KindRank(b.device);
    return PortNameLess(a.device, b.device);
  });
  std::vector<PortInfo> ports;
  for (Found& f : found) ports.push_back(std::move(f.info));
  return ports;
}

std::vector<PortInfo> ListSystemSerialPorts() { return ListSerialPortsUnder(""); }

}  // namespace platform
