// The Linux port list read from a fake /dev and /sys tree.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/portlist.h"
#include "tests/support/tempdir.h"

namespace {

void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0755);
  }
  mkdir(path.c_str(), 0755);
}

void MakeFile(const std::string& path, const std::string& text = "") {
  MakeFolders(path.substr(0, path.rfind('/')));
  std::ofstream(path) << text;
}

void MakeLink(const std::string& path, const std::string& target) {
  MakeFolders(path.substr(0, path.rfind('/')));
  ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
}

std::string Listed(const std::vector<platform::PortInfo>& ports, const std::string& root) {
  std::string text;
  for (const platform::PortInfo& p : ports) {
    std::string name = p.name;
    if (name.rfind(root, 0) == 0) name.erase(0, root.size());
    text += name + " | " + p.description + "\n";
  }
  return text;
}

TEST(PortList, FakeTreeGivesRealPortsUsbFirstEachDeviceOnce) {
  testsupport::TempDir dir;
  const std::string root = dir.path();
  // Device nodes: three UARTs the kernel reserves, one of them a placeholder
  // and one without hardware, adapters, and terminals that are no ports.
  for (const char* node : {"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyS10", "ttyUSB0", "ttyUSB1",
                           "ttyACM0", "tty0", "console", "ttyprintk"}) {
    MakeFile(root + "/dev/" + node);
  }
  const std::string sys = root + "/sys/class/tty/";
  const struct {
    const char* tty;
    const char* type;  // nullptr: no type file
  } uarts[] = {{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS3", "1"}, {"ttyS10", nullptr}};
  for (const auto& u : uarts) {
    MakeFolders(sys + u.tty + "/device");
    if (u.type != nullptr) MakeFile(sys + u.tty + "/type", std::string(u.type) + "\n");
  }
  MakeFile(sys + "ttyS2/type", "4\n");  // no device: nothing behind it
  MakeFolders(sys + "drivers/ftdi_sio");
  MakeFolders(sys + "ttyUSB0/device");
  MakeLink(sys + "ttyUSB0/device/driver", "../../drivers/ftdi_sio");
  MakeFolders(sys + "ttyACM0/device");
  MakeLink(sys + "ttyACM0/device/driver", "/sys/bus/usb/drivers/cdc_acm");
  MakeLink(root + "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
           "../../ttyUSB1");
  MakeLink(root + "/dev/serial/by-id/usb-Gone_Adapter-if00-port0", "../../ttyUSB7");

  EXPECT_EQ(Listed(platform::ListSerialPortsUnder(root), root),
            "/dev/ttyACM0 | USB-модем (CDC ACM) (cdc_acm)\n"
            "/dev/ttyUSB0 | USB-адаптер (ftdi_sio)\n"
            "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 | "
            "FTDI FT232R USB UART A50285BI (ttyUSB1)\n"
            "/dev/ttyS0 | последовательный порт 16550A\n"
            "/dev/ttyS3 | последовательный порт 8250\n"
            "/dev/ttyS10 | последовательный порт\n");
}

TEST(PortList, EmptyOrMissingTreeListsNothing) {
  testsupport::TempDir dir;
  EXPECT_TRUE(platform::ListSerialPortsUnder(dir.path()).empty());
  EXPECT_TRUE(platform::ListSerialPortsUnder(dir.File("nowhere")).empty());
}

}  // namespace
