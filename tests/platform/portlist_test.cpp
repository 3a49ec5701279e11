// The system-independent parts of the port list: adapter names, order, extra candidates.
#include "platform/portlist.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(PortList, AdapterNameFromItsStableLink) {
  const struct {
    const char* link;
    const char* name;
  } rows[] = {
      {"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "FTDI FT232R USB UART A50285BI"},
      {"usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0",
       "Prolific Technology Inc. USB-Serial Controller"},
      {"usb-1a86_USB2.0-Serial-if00-port0", "1a86 USB2.0-Serial"},
      {"pci-WCH_PCIe_Serial-if01", "WCH PCIe Serial"},
      {"usb-Arduino_Uno_8573", "Arduino Uno 8573"},
      {"usb--if00", "usb--if00"},  // nothing left: the link itself
  };
  for (const auto& r : rows) EXPECT_EQ(platform::AdapterNameFromById(r.link), r.name) << r.link;
}

TEST(PortList, NumbersInNamesCompareByValue) {
  std::vector<std::string> names = {"ttyS10", "COM10", "ttyS2", "COM3", "ttyUSB0",
                                    "ttyS1",  "COM1",  "tty",   "ttyS"};
  std::sort(names.begin(), names.end(), platform::PortNameLess);
  const std::vector<std::string> expected = {"COM1",  "COM3",  "COM10",  "tty",    "ttyS",
                                             "ttyS1", "ttyS2", "ttyS10", "ttyUSB0"};
  EXPECT_EQ(names, expected);
  EXPECT_FALSE(platform::PortNameLess("ttyS2", "ttyS2"));
}

TEST(PortList, ExtraCandidatesAddedOnceAtTheEnd) {
#ifdef _WIN32
  const std::string value = ";COM9;;COM2;";
#else
  const std::string value = ":/tmp/emu-a::/dev/ttyS0:";
#endif
  const std::vector<std::string> extra = platform::SplitExtraPorts(value);
  ASSERT_EQ(extra.size(), 2u);
  const std::vector<platform::PortInfo> listed =
      platform::WithExtraPorts({{extra[1], "системный"}}, extra);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].description, "системный");
  EXPECT_EQ(listed[1].name, extra[0]);
  EXPECT_EQ(listed[1].description, "указан в VORMIK_EXTRA_PORTS");
  EXPECT_TRUE(platform::SplitExtraPorts("").empty());
}

TEST(PortList, WindowsNamesAndDescriptions) {
  using namespace std::string_literals;
  const std::string dosDevices = "C:\0COM3\0LPT1\0com12\0COM\0COMX\0NUL\0AUX\0COM1\0\0"s;
  EXPECT_EQ(platform::ComNamesIn(dosDevices), (std::vector<std::string>{"COM3", "COM12", "COM1"}));
  EXPECT_TRUE(platform::ComNamesIn("").empty());
  const struct {
    const char* friendly;
    const char* port;
    const char* description;
  } rows[] = {
      {"USB Serial Port (COM3)", "COM3", "USB Serial Port"},
      {"Prolific USB-to-Serial Comm Port (COM12)", "COM12", "Prolific USB-to-Serial Comm Port"},
      {"Communications Port (COM1)", "COM3", "Communications Port (COM1)"},
      {"(COM3)", "COM3", "(COM3)"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(platform::FriendlyDescription(r.friendly, r.port), r.description) << r.friendly;
  }
}

}  // namespace
