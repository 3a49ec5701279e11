// The Windows port list through the system's own calls, and one probe on a
// listed port, under Wine with the stand-in controller's COM ports.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "link/portsearch.h"
#include "platform/portlist.h"

namespace {

// "COM43": the ports the Wine run has named to Wine (scripts/windows-tests.sh),
// leading to the stand-in controller.
std::vector<std::string> MappedPorts() {
  const char* names = std::getenv("VORMIK_TEST_LISTED_PORTS");
  std::vector<std::string> ports;
  std::string rest = names != nullptr ? names : "";
  for (size_t comma; !rest.empty();
       rest = comma == std::string::npos ? "" : rest.substr(comma + 1)) {
    comma = rest.find(',');
    ports.push_back(rest.substr(0, comma));
  }
  return ports;
}

bool Listed(const std::vector<platform::PortInfo>& ports, const std::string& name) {
  return std::any_of(ports.begin(), ports.end(),
                     [&name](const platform::PortInfo& p) { return p.name == name; });
}

TEST(Win32PortList, MappedPortsAreListedInOrderWithADescription) {
  const std::vector<std::string> mapped = MappedPorts();
  if (mapped.empty()) GTEST_SKIP() << "no mapped COM ports (VORMIK_TEST_LISTED_PORTS)";
  const std::vector<platform::PortInfo> ports = platform::ListSystemSerialPorts();
  for (const std::string& name : mapped) {
    EXPECT_TRUE(Listed(ports, name)) << name;
  }
  for (size_t i = 0; i < ports.size(); ++i) {
    EXPECT_FALSE(ports[i].description.empty()) << ports[i].name;
    if (i > 0) {
      EXPECT_TRUE(platform::PortNameLess(ports[i - 1].name, ports[i].name));
    }
  }
}

// A Russian Windows names its devices in Russian; the description carries the
// letters, not the ANSI code page's bytes taken for UTF-8.
TEST(Win32PortList, DeviceNamesKeepTheirLetters) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                                           nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
  const wchar_t device[] = L"\\Device\\\u041F\u043E\u0440\u0442\u0037";  // \Device\Порт7
  const wchar_t port[] = L"COM47";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, device, 0, REG_SZ, reinterpret_cast<const BYTE*>(port),
                                          sizeof port));
  const std::vector<platform::PortInfo> ports = platform::ListSystemSerialPorts();
  RegDeleteValueW(key, device);
  RegCloseKey(key);
  const auto listed = std::find_if(ports.begin(), ports.end(),
                                   [](const platform::PortInfo& p) { return p.name == "COM47"; });
  ASSERT_NE(listed, ports.end());
  EXPECT_EQ(listed->description, "последовательный порт (\\Device\\Порт7)");
}

TEST(Win32PortList, ExtraCandidatesFollowTheSystemsPorts) {
  _putenv_s("VORMIK_EXTRA_PORTS", "COM250;\\\\.\\COM251");
  const std::vector<platform::PortInfo> ports = platform::ListSerialPorts();
  _putenv_s("VORMIK_EXTRA_PORTS", "");
  ASSERT_GE(ports.size(), 2u);
  EXPECT_EQ(ports[ports.size() - 2].name, "COM250");
  EXPECT_EQ(ports.back().name, "\\\\.\\COM251");
}

TEST(Win32PortList, ProbeTellsAWrongAnswerFromAMissingPort) {
  const std::vector<std::string> mapped = MappedPorts();
  if (mapped.empty()) GTEST_SKIP() << "no mapped COM ports (VORMIK_TEST_LISTED_PORTS)";
  // The stand-in echoes each byte plus one: a port that answers, but no
  // controller. Reached through the system's list, as the search reaches it.
  EXPECT_EQ(ProbePort(mapped.front()), ProbeOutcome::kNoAnswer);
  EXPECT_EQ(ProbePort("COM249"), ProbeOutcome::kMissing);
}

}  // namespace
