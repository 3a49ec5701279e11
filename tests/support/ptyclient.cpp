// A plain termios client of a serial device (the emulator's pty) for tests.
#include "tests/support/ptyclient.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace testsupport {

bool PtyClient::Open(const std::string& path) {
  Close();
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct termios mode;
  if (::tcgetattr(fd, &mode) != 0) {
    ::close(fd);
    return false;
  }
  ::cfmakeraw(&mode);
  ::cfsetispeed(&mode, B9600);
  ::cfsetospeed(&mode, B9600);
  mode.c_cflag |= CLOCAL | CREAD;
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &mode) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void PtyClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PtyClient::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::vector<uint8_t> PtyClient::Read(size_t count, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  std::vector<uint8_t> out;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.size() < count && fd_ >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    struct pollfd p = {fd_, POLLIN, 0};
    int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    uint8_t buffer[64];
    size_t want = count - out.size();
    ssize_t n = ::read(fd_, buffer, want < sizeof buffer ? want : sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) break;
    out.insert(out.end(), buffer, buffer + n);
  }
  return out;
}

void PtyClient::Discard() {
  if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

}  // namespace testsupport
