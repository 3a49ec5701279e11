// A plain termios client of a serial device (the emulator's pty) for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Usage:
//   PtyClient port;
//   ASSERT_TRUE(port.Open(emu.linkPath()));
//   port.Write({0x55, 0x30, 0x03});
//   auto reply = port.Read(3, 500);   // up to 3 bytes, at most 500 ms
class PtyClient {
 public:
  PtyClient() = default;
  ~PtyClient() { Close(); }
  PtyClient(const PtyClient&) = delete;
  PtyClient& operator=(const PtyClient&) = delete;

  // Opens read/write, no controlling terminal, raw 9600 8N1.
  bool Open(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  void Close();
  bool Write(const std::vector<uint8_t>& bytes);
  // Reads until `count` bytes came or `timeoutMs` passed; returns what came.
  std::vector<uint8_t> Read(size_t count, int timeoutMs);
  // Throws away whatever is waiting to be read.
  void Discard();
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace testsupport
