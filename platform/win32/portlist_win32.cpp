// The serial ports of a Windows system: the SERIALCOMM map, the DOS device
// names, and the drivers' friendly names through SetupAPI. Names are read
// wide: a Russian Windows calls its ports "Последовательный порт (COM1)".
#include "platform/win32/widetext.h"
#include "platform/win32/windowsapi.h"
// SetupAPI needs the Windows types first.
#include <setupapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <map>

#include "platform/portlist.h"

namespace platform {

namespace {

// GUID_DEVCLASS_PORTS: the "Ports (COM & LPT)" class.
const GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const { return PortNameLess(a, b); }
};
using Found = std::map<std::string, std::string, NameLess>;

std::string Normalised(const std::string& name) {
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

// "\Device\Serial0" = "COM1": the ports the drivers have registered.
void AddSerialCommMap(Found& found) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t device[256];
    DWORD deviceLength = 256;  // in characters
    wchar_t data[256] = {};
    DWORD dataLength = sizeof data - sizeof(wchar_t);  // in bytes, room for the end mark
    DWORD type = 0;
    const LONG result = RegEnumValueW(key, i, device, &deviceLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataLength / sizeof(wchar_t)] = L'\0';
    const std::string port = Normalised(Utf8(data, std::wcslen(data)));
    if (!port.empty()) {
      found[port] = "последовательный порт (" + Utf8(device, deviceLength) + ")";
    }
  }
  RegCloseKey(key);
}

// COM names the system knows as DOS devices (Wine maps its dosdevices here).
void AddDosDevices(Found& found) {
  std::wstring buffer(64 * 1024, L'\0');
  const DWORD length = QueryDosDeviceW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
  if (length == 0) return;
  for (const std::string& name : ComNamesIn(Utf8(buffer.data(), length))) {
    if (found.count(name) == 0) found[name] = "последовательный порт";
  }
}

// "USB Serial Port (COM3)": what Device Manager calls the port.
void AddFriendlyNames(Found& found) {
  const HDEVINFO set = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return;
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
    const HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    wchar_t port[64] = {};
    DWORD portLength = sizeof port - sizeof(wchar_t);
    DWORD type = 0;
    const bool named =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(port),
                         &portLength) == ERROR_SUCCESS &&
        type == REG_SZ;
    RegCloseKey(key);
    if (!named) continue;
    wchar_t friendly[256] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr,
                                           reinterpret_cast<BYTE*>(friendly),
                                           sizeof friendly - sizeof(wchar_t), nullptr)) {
      continue;
    }
    const std::string name = Normalised(Utf8(port, std::wcslen(port)));
    // Only ports: the class also holds printer ports (LPT1).
    if (name.rfind("COM", 0) == 0) {
      found[name] = FriendlyDescription(Utf8(friendly, std::wcslen(friendly)), name);
    }
  }
  SetupDiDestroyDeviceInfoList(set);
}

}  // namespace

std::vector<PortInfo> ListSystemSerialPorts() {
  Found found;
  AddSerialCommMap(found);
  AddDosDevices(found);
  AddFriendlyNames(found);
  std::vector<PortInfo> ports;
  for (const auto& entry : found) ports.push_back({entry.first, entry.second});
  return ports;
}

}  // namespace platform
