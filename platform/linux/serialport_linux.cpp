// The controller's serial device on Linux, driven through termios and poll().
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstdint>
#include <mutex>

#include "platform/linux/serialtext.h"
#include "platform/serialport.h"

namespace platform {

namespace {

// A write that cannot start within this time counts as failed, so that a
// stuck device never blocks the caller while it holds the port lock.
constexpr uint64_t kDefaultWriteBoundMs = 1000;
// Highest "COMn" number accepted; keeps the arithmetic away from overflow.
constexpr unsigned long kMaxComNumber = 4096;

std::string TrimSpaces(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

bool ParseUnsigned(const std::string& text, unsigned long limit, unsigned long& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  return value <= limit;
}

bool BaudToSpeed(unsigned long baud, speed_t& speed) {
  static const struct {
    unsigned long baud;
    speed_t speed;
  } kSpeeds[] = {
      {50, B50},         {75, B75},         {110, B110},         {134, B134},
      {150, B150},       {200, B200},       {300, B300},         {600, B600},
      {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
      {9600, B9600},     {19200, B19200},   {38400, B38400},     {57600, B57600},
      {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
      {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
  };
  for (const auto& entry : kSpeeds) {
    if (entry.baud == baud) {
      speed = entry.speed;
      return true;
    }
  }
  return false;
}

uint64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

int RemainingMs(uint64_t deadline) {
  const uint64_t now = NowMs();
  if (now >= deadline) return 0;
  return static_cast<int>(std::min<uint64_t>(deadline - now, INT_MAX));
}

// Errors by which a terminal says its device is no longer there: a pulled
// USB adapter, a pseudo-terminal whose other side has closed.
bool MeansDeviceGone(int error) {
  return error == EIO || error == ENXIO || error == ENODEV || error == EBADF || error == EPIPE;
}

// Why an open failed: missing devices, busy ones and things that are no
// terminal are told apart, so the teacher reads which.
PortProblem OpenProblemOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
      return PortProblem::kDeviceGone;
    case EBUSY:
    case EWOULDBLOCK:
      return PortProblem::kBusy;
    case ENOTTY:
      return PortProblem::kNotATerminal;
    default:
      return PortProblem::kUnavailable;
  }
}

class LinuxSerialPort final : public SerialPort {
 public:
  LinuxSerialPort() { abortFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

  ~LinuxSerialPort() override {
    Close();
    if (abortFd_ >= 0) close(abortFd_);
  }

  bool Open(const std::string& portName) override {
    if (fd_.load() >= 0) return false;  // one device per object
    const std::string path = ResolvePortName(portName);
    if (path.empty()) return Refused(PortProblem::kNotATerminal);
    // Only an existing character device: never create a file, never open a
    // FIFO or a regular file that happens to carry the name.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return Refused(OpenProblemOf(errno));
    if (!S_ISCHR(st.st_mode)) return Refused(PortProblem::kNotATerminal);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Refused(OpenProblemOf(errno));
    termios original{};
    // TIOCEXCL stops other openers except root; the flock also stops root
    // and any other program that plays by the advisory lock.
    if (!isatty(fd)) {
      close(fd);
      return Refused(PortProblem::kNotATerminal);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      close(fd);
      return Refused(OpenProblemOf(error));
    }
    // From here the device is ours, so undoing the exclusive mode is safe.
    if (ioctl(fd, TIOCEXCL) != 0 || tcgetattr(fd, &original) != 0) {
      const int error = errno;
      ioctl(fd, TIOCNXCL);
      close(fd);
      return Refused(MeansDeviceGone(error) ? PortProblem::kDeviceGone : PortProblem::kUnavailable);
    }
    {
      std::lock_guard<std::mutex> guard(mutex_);
      original_ = original;
      timeouts_ = SerialTimeouts{};
    }
    problem_.store(PortProblem::kNone);
    fd_.store(fd);
    return true;
  }

  PortProblem Problem() const override { return problem_.load(); }

  bool IsOpen() const override { return fd_.load() >= 0; }

  bool GetTimeouts(SerialTimeouts& out) override {
    std::lock_guard<std::mutex> guard(mutex_);
    out = timeouts_;
    return fd_.load() >= 0;
  }

  bool SetTimeouts(const SerialTimeouts& timeouts) override {
    if (fd_.load() < 0) return false;
    std::lock_guard<std::mutex> guard(mutex_);
    timeouts_ = timeouts;
    return true;
  }

  bool ApplyLineMode(const std::string& mode) override {
    const int fd = fd_.load();
    if (fd < 0) return false;
    LineMode line;
    if (!ParseLineMode(mode, line)) return false;
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    if (!SetRawLine(tio, line)) return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
  }

  bool Purge(unsigned purgeFlags) override {
    const int fd = fd_.load();
    if (fd < 0) return false;
    bool ok = true;
    const bool rx = (purgeFlags & kPurgeRxClear) != 0;
    const bool tx = (purgeFlags & kPurgeTxClear) != 0;
    if (rx || tx) ok = tcflush(fd, rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH)) == 0;
    if (!ok) NoteError(errno);
    if ((purgeFlags & kPurgeRxAbort) != 0) WakeReader();
    // A write is a single byte bounded in time, so kPurgeTxAbort has nothing
    // to cut short.
    return ok;
  }

  // How long one write (or the drain after it) may take: the time-outs set
  // for writing, or the default when none is set.
  uint64_t WriteBoundMs() {
    std::lock_guard<std::mutex> guard(mutex_);
    const uint64_t boundMs =
        static_cast<uint64_t>(timeouts_.writeTotalConstantMs) + timeouts_.writeTotalMultiplierMs;
    return boundMs == 0 ? kDefaultWriteBoundMs : boundMs;
  }

  bool WriteByte(uint8_t byte) override {
    const int fd = fd_.load();
    if (fd < 0) return false;
    const uint64_t deadline = NowMs() + WriteBoundMs();
    for (;;) {
      const ssize_t n = write(fd, &byte, 1);
      if (n == 1) return true;
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return NoteError(errno);
      const int remaining = RemainingMs(deadline);
      if (remaining == 0) return false;
      pollfd pfd{fd, POLLOUT, 0};
      const int r = poll(&pfd, 1, remaining);
      if (r < 0 && errno != EINTR) return false;
      if (r > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return NoteGone();
    }
  }

  // The driver's queue is watched empty within the write bound, then tcdrain
  // waits out the transmitter itself, which holds a few bytes at most: a
  // device that stopped sending never keeps the port lock for long.
  bool Drain() override {
    const int fd = fd_.load();
    if (fd < 0) return false;
    const uint64_t deadline = NowMs() + WriteBoundMs();
    for (;;) {
      int queued = 0;
      if (ioctl(fd, TIOCOUTQ, &queued) != 0) return NoteError(errno);
      if (queued <= 0) break;
      if (RemainingMs(deadline) == 0) return false;
      const timespec pause{0, 1000000L};
      nanosleep(&pause, nullptr);
    }
    while (tcdrain(fd) != 0) {
      if (errno != EINTR) return NoteError(errno);
    }
    return true;
  }

  // Waits readTotalConstantMs + readTotalMultiplierMs for the one byte; the
  // interval field plays no part for single-byte reads. With both at zero the
  // read takes only what has already arrived. A hung-up or failed device
  // gives false at once: callers retry a bounded number of times or sleep
  // between polls, so this never turns into a busy loop.
  bool ReadByte(uint8_t& byte) override {
    const int fd = fd_.load();
    if (fd < 0) return false;
    uint64_t waitMs;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      waitMs =
          static_cast<uint64_t>(timeouts_.readTotalConstantMs) + timeouts_.readTotalMultiplierMs;
    }
    const uint64_t startAbort = abortCount_.load();
    const uint64_t deadline = NowMs() + waitMs;
    for (;;) {
      pollfd pfds[2] = {{fd, POLLIN, 0}, {abortFd_, POLLIN, 0}};
      const int r = poll(pfds, abortFd_ >= 0 ? 2 : 1, RemainingMs(deadline));
      if (r < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (r == 0) return false;  // time-out
      if (abortFd_ >= 0 && (pfds[1].revents & POLLIN) != 0) {
        uint64_t drained = 0;
        while (read(abortFd_, &drained, sizeof drained) > 0) {
        }
        if (abortCount_.load() != startAbort) return false;
      }
      const short revents = pfds[0].revents;
      if ((revents & POLLNVAL) != 0) return NoteGone();
      const bool hungUp = (revents & (POLLHUP | POLLERR)) != 0;
      if ((revents & POLLIN) != 0) {
        // A byte that came before the hang-up is still read.
        const ssize_t n = read(fd, &byte, 1);
        if (n == 1) return true;
        if (n == 0) return hungUp ? NoteGone() : false;  // end of file
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return NoteError(errno);
        if (RemainingMs(deadline) == 0) return false;
      } else if (hungUp) {
        return NoteGone();
      }
    }
  }

  void Close() override {
    const int fd = fd_.exchange(-1);
    if (fd < 0) return;
    WakeReader();
    termios original{};
    {
      std::lock_guard<std::mutex> guard(mutex_);
      original = original_;
    }
    tcsetattr(fd, TCSANOW, &original);
    ioctl(fd, TIOCNXCL);
    close(fd);  // also drops the flock
  }

 private:
  bool Refused(PortProblem problem) {
    problem_.store(problem);
    return false;
  }
  // Always false, so a failing call can end with it.
  bool NoteGone() {
    problem_.store(PortProblem::kDeviceGone);
    return false;
  }
  bool NoteError(int error) {
    if (MeansDeviceGone(error)) problem_.store(PortProblem::kDeviceGone);
    return false;
  }

  void WakeReader() {
    abortCount_.fetch_add(1);
    if (abortFd_ >= 0) {
      const uint64_t one = 1;
      ssize_t ignored = write(abortFd_, &one, sizeof one);
      (void)ignored;
    }
  }

  std::atomic<int> fd_{-1};
  // Purge with kPurgeRxAbort bumps the count and signals the eventfd, which a
  // read in progress polls beside the device.
  int abortFd_ = -1;
  std::atomic<uint64_t> abortCount_{0};
  std::atomic<PortProblem> problem_{PortProblem::kNone};
  std::mutex mutex_;  // guards timeouts_ and original_
  SerialTimeouts timeouts_;
  termios original_{};
};

}  // namespace

std::string ResolvePortName(const std::string& portName) {
  if (portName.empty()) return "";
  std::string name = portName;
  // A name copied from a Windows setting may carry the device prefix.
  if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
  if (name.size() > 3 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'O' || name[1] == 'o') &&
      (name[2] == 'M' || name[2] == 'm')) {
    unsigned long number = 0;
    const std::string digits = name.substr(3);
    if (ParseUnsigned(digits, kMaxComNumber, number)) {
      if (number == 0) return "";
      return "/dev/ttyS" + std::to_string(number - 1);
    }
  }
  if (name.empty() || name.find('\0') != std::string::npos) return "";
  if (name[0] == '/') return name;
  // A bare name lives under /dev; refuse anything that would climb out of it.
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return "";
    start = end + 1;
  }
  return "/dev/" + name;
}

bool ParseLineMode(const std::string& text, LineMode& mode) {
  std::string fields[4];
  size_t count = 0;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    if (count == 4) return false;
    fields[count++] = TrimSpaces(
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (count != 4) return false;
  LineMode parsed;
  unsigned long baud = 0;
  if (!ParseUnsigned(fields[0], 4000000, baud) || !BaudToSpeed(baud, parsed.speed)) return false;
  if (fields[1].size() != 1) return false;
  parsed.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(fields[1][0])));
  if (parsed.parity != 'N' && parsed.parity != 'E' && parsed.parity != 'O') return false;
  unsigned long bits = 0;
  if (!ParseUnsigned(fields[2], 8, bits) || bits < 5) return false;
  parsed.dataBits = static_cast<int>(bits);
  unsigned long stop = 0;
  if (!ParseUnsigned(fields[3], 2, stop) || stop < 1) return false;
  parsed.stopBits = static_cast<int>(stop);
  mode = parsed;
  return true;
}

bool SetRawLine(termios& tio, const LineMode& line) {
  if (line.dataBits < 5 || line.dataBits > 8) return false;
  // Raw bytes both ways, no flow control of any kind, modem lines ignored.
  tio.c_iflag &=
      ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
  static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  tio.c_cflag |= kSizes[line.dataBits - 5] | CLOCAL | CREAD;
  if (line.parity == 'E') tio.c_cflag |= PARENB;
  if (line.parity == 'O') tio.c_cflag |= PARENB | PARODD;
  if (line.stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return cfsetispeed(&tio, line.speed) == 0 && cfsetospeed(&tio, line.speed) == 0;
}

std::string DevicePathOf(const std::string& portName) { return ResolvePortName(portName); }

std::unique_ptr<SerialPort> CreateSerialPort() { return std::make_unique<LinuxSerialPort>(); }

}  // namespace platform
