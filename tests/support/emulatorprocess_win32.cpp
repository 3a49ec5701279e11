// The emulator for a Windows test under Wine: a Windows program cannot make a
// pseudo-terminal, so a broker on the Linux side (tests/windows/
// emulatorbroker.py) starts the real emulator with its link in the prefix's
// dosdevices and relays its stdin and stdout over a local TCP connection.
//   to the broker:   "<token>\t<option>\t<option>..." once, then
//                    "emu\t<command>", "running", "stop"
//   from the broker: "c ready <COMn> <trace path>" or "c error <why>",
//                    "o <emulator line>", "c running yes|no", "c exit <status>"
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/emulatorprocess.h"
#include "tests/support/eventually.h"

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uintptr_t kClosed = ~uintptr_t{0};

// "Z:\path" for a path on the Linux side.
std::string WindowsPathOf(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

bool StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace

EmulatorProcess::EmulatorProcess(std::vector<std::string> extraOptions, std::string) {
  const char* stateFile = std::getenv("VORMIK_EMULATOR_BROKER");
  if (stateFile == nullptr) {
    error_ = "VORMIK_EMULATOR_BROKER is not set: run the test through ctest";
    return;
  }
  std::ifstream state(stateFile);
  int port = 0;
  std::string token;
  if (!(state >> port >> token)) {
    error_ = std::string("the emulator broker's state file cannot be read: ") + stateFile;
    return;
  }
  if (!StartWinsock()) {
    error_ = "Winsock did not start";
    return;
  }
  const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (socket == INVALID_SOCKET ||
      ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (socket != INVALID_SOCKET) closesocket(socket);
    error_ = "cannot reach the emulator broker on port " + std::to_string(port);
    return;
  }
  broker_ = static_cast<uintptr_t>(socket);
  std::string request = token;
  for (const std::string& option : extraOptions) request += "\t" + option;
  if (!WriteLine(request)) {
    error_ = "cannot write to the emulator broker";
    Stop();
    return;
  }
  const auto answer = ReadBrokerLine('c', kStartTimeoutMs);
  if (!answer || answer->rfind("ready ", 0) != 0) {
    error_ = answer ? "the broker answered: " + *answer
                    : "the emulator did not report ready within " +
                          std::to_string(kStartTimeoutMs) + " ms";
    Stop();
    return;
  }
  const size_t space = answer->find(' ', 6);
  if (space == std::string::npos) {
    error_ = "the broker's answer names no trace: " + *answer;
    Stop();
    return;
  }
  linkPath_ = answer->substr(6, space - 6);
  tracePath_ = WindowsPathOf(answer->substr(space + 1));
  started_ = true;
}

EmulatorProcess::~EmulatorProcess() { Stop(); }

bool EmulatorProcess::Running() {
  if (broker_ == kClosed || reaped_) return false;
  if (!WriteLine("running")) return false;
  const auto answer = ReadBrokerLine('c', kAnswerTimeoutMs);
  return answer && *answer == "running yes";
}

int EmulatorProcess::Stop() {
  if (broker_ != kClosed) {
    if (!reaped_ && WriteLine("stop")) {
      const auto answer = ReadBrokerLine('c', kStopTimeoutMs + 1000);
      if (answer && answer->rfind("exit ", 0) == 0) exitStatus_ = std::atoi(answer->c_str() + 5);
    }
    closesocket(static_cast<SOCKET>(broker_));
    broker_ = kClosed;
  }
  reaped_ = true;
  started_ = false;
  return exitStatus_;
}

// Emulator commands go out as "emu\t<command>"; the broker's own as they are.
bool EmulatorProcess::WriteLine(const std::string& line) {
  if (broker_ == kClosed) return false;
  const bool own = !started_ || line == "running" || line == "stop";
  const std::string text = (own ? line : "emu\t" + line) + "\n";
  size_t done = 0;
  while (done < text.size()) {
    const int n = ::send(static_cast<SOCKET>(broker_), text.data() + done,
                         static_cast<int>(text.size() - done), 0);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::optional<std::string> EmulatorProcess::ReadLine(int timeoutMs) {
  return ReadBrokerLine('o', timeoutMs);
}

// The next line of one kind ('o' the emulator's, 'c' the broker's); lines of
// the other kind met on the way are dropped (the exchange is one question,
// one answer, so none is waiting for another reader).
std::optional<std::string> EmulatorProcess::ReadBrokerLine(char kind, int timeoutMs) {
  const auto start = Clock::now();
  while (true) {
    size_t end;
    while ((end = pending_.find('\n')) != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (line.size() >= 2 && line[0] == kind && line[1] == ' ') return line.substr(2);
    }
    if (broker_ == kClosed) return std::nullopt;
    const long left = timeoutMs - MsSince(start);
    if (left <= 0) return std::nullopt;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(broker_), &readable);
    timeval wait{static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
    if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) return std::nullopt;
    char buffer[512];
    const int n = ::recv(static_cast<SOCKET>(broker_), buffer, sizeof buffer, 0);
    if (n <= 0) {  // the broker closed: the emulator has gone with it
      closesocket(static_cast<SOCKET>(broker_));
      broker_ = kClosed;
      reaped_ = true;
      return std::nullopt;
    }
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace testsupport
