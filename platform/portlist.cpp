// The parts of the port list every system shares: names, order, extra candidates.
#include "platform/portlist.h"

#include "platform/system.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace platform {

namespace {

#ifdef _WIN32
constexpr char kExtraSeparator = ';';
#else
constexpr char kExtraSeparator = ':';
#endif

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::string AdapterNameFromById(const std::string& byIdName) {
  std::string name = byIdName;
  for (const char* bus : {"usb-", "pci-", "platform-"}) {
    if (name.rfind(bus, 0) == 0) {
      name.erase(0, std::string(bus).size());
      break;
    }
  }
  // The interface and port suffix tells nothing a teacher can check on the plug.
  const size_t suffix = name.rfind("-if");
  if (suffix != std::string::npos) name.erase(suffix);
  std::replace(name.begin(), name.end(), '_', ' ');
  return name.empty() ? byIdName : name;
}

bool PortNameLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      size_t endA = i, endB = j;
      while (endA < a.size() && IsDigit(a[endA])) ++endA;
      while (endB < b.size() && IsDigit(b[endB])) ++endB;
      // Leading zeros do not make a number larger.
      std::string numA = a.substr(i, endA - i), numB = b.substr(j, endB - j);
      numA.erase(0, std::min(numA.find_first_not_of('0'), numA.size()));
      numB.erase(0, std::min(numB.find_first_not_of('0'), numB.size()));
      if (numA.size() != numB.size()) return numA.size() < numB.size();
      if (numA != numB) return numA < numB;
      i = endA;
      j = endB;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

std::vector<std::string> SplitExtraPorts(const std::string& value) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find(kExtraSeparator, start);
    if (end == std::string::npos) end = value.size();
    if (end > start) names.push_back(value.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

std::vector<PortInfo> WithExtraPorts(std::vector<PortInfo> ports,
                                     const std::vector<std::string>& extra) {
  for (const std::string& name : extra) {
    const bool known = std::any_of(ports.begin(), ports.end(),
                                   [&name](const PortInfo& p) { return p.name == name; });
    if (!known) ports.push_back({name, std::string("указан в ") + kExtraPortsVariable});
  }
  return ports;
}

std::vector<std::string> ComNamesIn(const std::string& dosDeviceList) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start < dosDeviceList.size()) {
    size_t end = dosDeviceList.find('\0', start);
    if (end == std::string::npos) end = dosDeviceList.size();
    const std::string name = dosDeviceList.substr(start, end - start);
    const bool com = name.size() > 3 && (name[0] == 'C' || name[0] == 'c') &&
                     (name[1] == 'O' || name[1] == 'o') && (name[2] == 'M' || name[2] == 'm') &&
                     std::all_of(name.begin() + 3, name.end(), IsDigit);
    if (com) names.push_back("COM" + name.substr(3));
    start = end + 1;
  }
  return names;
}

std::string FriendlyDescription(const std::string& friendlyName, const std::string& portName) {
  const std::string suffix = " (" + portName + ")";
  if (friendlyName.size() > suffix.size() &&
      friendlyName.compare(friendlyName.size() - suffix.size(), suffix.size(), suffix) == 0) {
    return friendlyName.substr(0, friendlyName.size() - suffix.size());
  }
  return friendlyName;
}

std::vector<PortInfo> ListSerialPorts() {
  std::string extra;
  EnvironmentValue(kExtraPortsVariable, extra);
  return WithExtraPorts(ListSystemSerialPorts(), SplitExtraPorts(extra));
}

}  // namespace platform
