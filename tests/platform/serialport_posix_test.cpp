// The Linux serial port against real pseudo-terminals, plus its name and mode parsing.
#include "platform/serialport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/linux/serialtext.h"

namespace {

using platform::CreateSerialPort;
using platform::SerialTimeouts;
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The test holds the master side and plays the controller.
struct Pty {
  int master = -1;
  std::string slavePath;
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) slavePath = ptsname(master);
  }
  ~Pty() { CloseMaster(); }
  void CloseMaster() {
    if (master >= 0) close(master);
    master = -1;
  }
  void Send(uint8_t byte) const { ASSERT_EQ(write(master, &byte, 1), 1); }
  bool Receive(uint8_t& byte, int timeoutMs) const {
    pollfd pfd{master, POLLIN, 0};
    return poll(&pfd, 1, timeoutMs) == 1 && read(master, &byte, 1) == 1;
  }
};

SerialTimeouts ReadTimeout(uint32_t constantMs, uint32_t perByteMs = 0) {
  SerialTimeouts t;
  t.readTotalConstantMs = constantMs;
  t.readTotalMultiplierMs = perByteMs;
  return t;
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty.slavePath.empty());
    port = CreateSerialPort();
    ASSERT_TRUE(port->Open(pty.slavePath));
    ASSERT_TRUE(port->ApplyLineMode("9600,N,8,1"));
    ASSERT_TRUE(port->SetTimeouts(ReadTimeout(100)));
  }
  Pty pty;
  std::unique_ptr<platform::SerialPort> port;
};

TEST(SerialPortNames, MapsSettingsNamesToDevices) {
  const struct {
    const char* name;
    const char* path;
  } kCases[] = {
      {"COM1", "/dev/ttyS0"},
      {"com3", "/dev/ttyS2"},
      {"CoM10", "/dev/ttyS9"},
      {"COM007", "/dev/ttyS6"},
      {"\\\\.\\COM12", "/dev/ttyS11"},
      {"COM0", ""},
      {"", ""},
      {"/dev/pts/3", "/dev/pts/3"},
      {"ttyUSB0", "/dev/ttyUSB0"},
      {"serial/by-id/usb-x", "/dev/serial/by-id/usb-x"},
      {"COMX", "/dev/COMX"},
      {"../etc/passwd", ""},
      {"serial/../../etc/passwd", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(platform::ResolvePortName(c.name), c.path) << "name: " << c.name;
  }
}

TEST(SerialPortNames, ParsesLineModes) {
  platform::LineMode mode;
  ASSERT_TRUE(platform::ParseLineMode("9600,N,8,1", mode));
  EXPECT_EQ(mode.speed, static_cast<speed_t>(B9600));
  EXPECT_EQ(mode.parity, 'N');
  EXPECT_EQ(mode.dataBits, 8);
  EXPECT_EQ(mode.stopBits, 1);
  ASSERT_TRUE(platform::ParseLineMode(" 19200 , e , 7 , 2 ", mode));
  EXPECT_EQ(mode.speed, static_cast<speed_t>(B19200));
  EXPECT_EQ(mode.parity, 'E');
  EXPECT_EQ(mode.dataBits, 7);
  EXPECT_EQ(mode.stopBits, 2);
  ASSERT_TRUE(platform::ParseLineMode("115200,o,5,1", mode));
  EXPECT_EQ(mode.parity, 'O');
  EXPECT_EQ(mode.dataBits, 5);

  const char* kBad[] = {"",           "9600",       "9600,N,8",    "9600,N,8,1,x",
                        "9601,N,8,1", "9600,X,8,1", "9600,N,9,1",  "9600,N,4,1",
                        "9600,N,8,3", "9600,N,8,0", "-9600,N,8,1", "9600,NN,8,1",
                        "baud=9600",  "9600,,8,1"};
  for (const char* text : kBad) {
    platform::LineMode untouched;
    untouched.dataBits = 6;
    EXPECT_FALSE(platform::ParseLineMode(text, untouched)) << "mode: " << text;
    EXPECT_EQ(untouched.dataBits, 6) << "mode changed by a refused text: " << text;
  }
}

TEST_F(SerialPortTest, BytesTravelBothWaysUnchanged) {
  // Bytes a cooked terminal would translate or swallow must come through raw.
  const uint8_t kBytes[] = {0x55, 0x0D, 0x0A, 0x03, 0x11, 0x13, 0x00, 0xFF, 0x7F};
  for (uint8_t sent : kBytes) {
    ASSERT_TRUE(port->WriteByte(sent));
    ASSERT_TRUE(port->Drain());
    uint8_t got = 0;
    ASSERT_TRUE(pty.Receive(got, 1000));
    EXPECT_EQ(got, sent);
    pty.Send(sent);
    uint8_t read = 0;
    ASSERT_TRUE(port->ReadByte(read));
    EXPECT_EQ(read, sent);
  }
}

TEST(SerialPortNames, RawLineFramingFromTheMode) {
  const struct {
    const char* mode;
    tcflag_t size;
    tcflag_t parity;  // PARENB / PARODD bits expected
    bool twoStops;
    speed_t speed;
  } kCases[] = {
      {"9600,N,8,1", CS8, 0, false, B9600},
      {"19200,E,7,2", CS7, PARENB, true, B19200},
      {"1200,O,6,1", CS6, PARENB | PARODD, false, B1200},
      {"300,n,5,2", CS5, 0, true, B300},
  };
  for (const auto& c : kCases) {
    // Start from a cooked line with everything the mode must switch off.
    termios tio{};
    tio.c_iflag = ICRNL | IXON | IXOFF | ISTRIP | INPCK;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    tio.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
    tio.c_cc[VMIN] = 1;
    platform::LineMode mode;
    ASSERT_TRUE(platform::ParseLineMode(c.mode, mode)) << c.mode;
    ASSERT_TRUE(platform::SetRawLine(tio, mode));
    EXPECT_EQ(tio.c_cflag & CSIZE, c.size) << c.mode;
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD), c.parity) << c.mode;
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStops) << c.mode;
    EXPECT_EQ(cfgetispeed(&tio), c.speed) << c.mode;
    EXPECT_EQ(cfgetospeed(&tio), c.speed) << c.mode;
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag, 0u) << "input translation or software flow control left on";
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
  }
}

TEST_F(SerialPortTest, LineModeReachesTheTerminal) {
  // A pseudo-terminal always reports 8 bits without parity, so the framing is
  // checked above; speed, stop bits and the raw flags do reach it.
  ASSERT_TRUE(port->ApplyLineMode("19200,N,8,2"));
  termios tio{};
  ASSERT_EQ(tcgetattr(pty.master, &tio), 0);  // the master sees the slave's settings
  EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
  EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B19200));

  EXPECT_FALSE(port->ApplyLineMode("fast please"));
  ASSERT_EQ(tcgetattr(pty.master, &tio), 0);
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B19200)) << "refused text changed the line";
}

TEST_F(SerialPortTest, ReadWaitsTheTimeoutThenFails) {
  SerialTimeouts got;
  ASSERT_TRUE(port->GetTimeouts(got));
  EXPECT_EQ(got.readTotalConstantMs, 100u);
  for (const SerialTimeouts& t : {ReadTimeout(100), ReadTimeout(40, 60)}) {
    ASSERT_TRUE(port->SetTimeouts(t));
    uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(port->ReadByte(byte));
    const long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 80);
    EXPECT_LT(elapsed, 2000);
  }
}

TEST_F(SerialPortTest, ZeroTimeoutsTakeOnlyWhatIsThere) {
  ASSERT_TRUE(port->SetTimeouts(SerialTimeouts{}));
  pty.Send(0x42);
  uint8_t byte = 0;
  const auto start = Clock::now();
  bool got = false;
  while (!got && MsSince(start) < 2000) {  // the byte takes a moment to cross the pty
    got = port->ReadByte(byte);
    if (!got) usleep(5000);
  }
  ASSERT_TRUE(got);
  EXPECT_EQ(byte, 0x42);
  const auto second = Clock::now();
  EXPECT_FALSE(port->ReadByte(byte));
  EXPECT_LT(MsSince(second), 500);
}

TEST_F(SerialPortTest, PurgeDropsPendingInputOnly) {
  for (uint8_t b : {1, 2, 3}) pty.Send(b);
  usleep(50000);
  ASSERT_TRUE(port->Purge(platform::kPurgeRxClear | platform::kPurgeTxClear));
  uint8_t byte = 0;
  EXPECT_FALSE(port->ReadByte(byte));
  pty.Send(9);
  ASSERT_TRUE(port->ReadByte(byte));
  EXPECT_EQ(byte, 9);
}

TEST_F(SerialPortTest, RxAbortEndsAReadInProgressButNotTheNext) {
  ASSERT_TRUE(port->SetTimeouts(ReadTimeout(10000)));
  long elapsed = -1;
  bool result = true;
  std::thread reader([&] {
    uint8_t byte = 0;
    const auto start = Clock::now();
    result = port->ReadByte(byte);
    elapsed = MsSince(start);
  });
  usleep(100000);
  ASSERT_TRUE(port->Purge(platform::kPurgeRxAbort));
  reader.join();
  EXPECT_FALSE(result);
  EXPECT_LT(elapsed, 5000);
  ASSERT_TRUE(port->SetTimeouts(ReadTimeout(1000)));
  pty.Send(0x77);
  uint8_t byte = 0;
  ASSERT_TRUE(port->ReadByte(byte)) << "an old abort cut short a later read";
  EXPECT_EQ(byte, 0x77);
}

TEST_F(SerialPortTest, SecondOpenerIsRefusedUntilClose) {
  auto other = CreateSerialPort();
  EXPECT_FALSE(other->Open(pty.slavePath));
  EXPECT_FALSE(other->IsOpen());
  EXPECT_EQ(other->Problem(), platform::PortProblem::kBusy);
  EXPECT_FALSE(port->Open(pty.slavePath)) << "an open port must not open again";

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto mine = CreateSerialPort();
    _exit(mine->Open(pty.slavePath) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "another process opened the port";

  port->Close();
  EXPECT_TRUE(other->Open(pty.slavePath));
}

TEST_F(SerialPortTest, HungUpDeviceFailsWithoutSpinning) {
  ASSERT_TRUE(port->SetTimeouts(ReadTimeout(1500)));
  pty.CloseMaster();
  // In a child with an alarm, so a read that never returns fails the test
  // instead of hanging it.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(10);
    timespec cpuStart{}, cpuEnd{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuStart);
    uint8_t byte = 0;
    bool anySucceeded = port->WriteByte(0x55);
    for (int i = 0; i < 3; ++i) anySucceeded = port->ReadByte(byte) || anySucceeded;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuEnd);
    const double cpuMs =
        (cpuEnd.tv_sec - cpuStart.tv_sec) * 1e3 + (cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e6;
    _exit(anySucceeded ? 1 : cpuMs >= 500.0 ? 2 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "reading a hung-up device never returned";
  EXPECT_NE(WEXITSTATUS(status), 1) << "an exchange with a hung-up device succeeded";
  EXPECT_NE(WEXITSTATUS(status), 2) << "reading a hung-up device burns the processor";
  // The port says the device is gone, so its owner knows to open it anew;
  // the pseudo-terminal's name has gone with it.
  EXPECT_EQ(port->Problem(), platform::PortProblem::kNone);
  EXPECT_FALSE(port->WriteByte(0x55));
  EXPECT_EQ(port->Problem(), platform::PortProblem::kDeviceGone);
  EXPECT_FALSE(port->Drain());
  port->Close();
  EXPECT_FALSE(port->IsOpen());
  EXPECT_FALSE(port->Open(pty.slavePath));
  EXPECT_EQ(port->Problem(), platform::PortProblem::kDeviceGone);
}

TEST(SerialPort, CloseRestoresTheLineSettings) {
  Pty pty;
  ASSERT_FALSE(pty.slavePath.empty());
  termios before{};
  ASSERT_EQ(tcgetattr(pty.master, &before), 0);
  auto port = CreateSerialPort();
  ASSERT_TRUE(port->Open(pty.slavePath));
  ASSERT_TRUE(port->ApplyLineMode("1200,O,6,2"));
  termios during{};
  ASSERT_EQ(tcgetattr(pty.master, &during), 0);
  ASSERT_NE(during.c_lflag, before.c_lflag) << "the mode did not reach the terminal";
  port->Close();
  port->Close();  // twice is harmless
  termios after{};
  ASSERT_EQ(tcgetattr(pty.master, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(cfgetispeed(&after), cfgetispeed(&before));
}

TEST(SerialPort, RefusesWhatIsNotAnExistingTerminal) {
  char dir[] = "/tmp/vormik-serial-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string regular = std::string(dir) + "/plain";
  const std::string fifo = std::string(dir) + "/fifo";
  const std::string missing = std::string(dir) + "/missing";
  close(open(regular.c_str(), O_CREAT | O_WRONLY, 0600));
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  using platform::PortProblem;
  const struct {
    std::string name;
    PortProblem problem;
  } kCases[] = {{regular, PortProblem::kNotATerminal},
                {fifo, PortProblem::kNotATerminal},
                {missing, PortProblem::kDeviceGone},
                {"/dev/null", PortProblem::kNotATerminal},
                {"COM0", PortProblem::kNotATerminal}};
  for (const auto& c : kCases) {
    const std::string& name = c.name;
    auto port = CreateSerialPort();
    EXPECT_FALSE(port->Open(name)) << name;
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(port->Problem(), c.problem) << name;
    EXPECT_FALSE(port->Drain());
    uint8_t byte = 0;
    EXPECT_FALSE(port->WriteByte(1));
    EXPECT_FALSE(port->ReadByte(byte));
    EXPECT_FALSE(port->Purge(platform::kPurgeRxClear));
    EXPECT_FALSE(port->SetTimeouts(ReadTimeout(100)));
    EXPECT_FALSE(port->ApplyLineMode("9600,N,8,1"));
    port->Close();
  }
  struct stat st {};
  EXPECT_NE(stat(missing.c_str(), &st), 0) << "opening created the device file";
  unlink(regular.c_str());
  unlink(fifo.c_str());
  rmdir(dir);
}

}  // namespace
