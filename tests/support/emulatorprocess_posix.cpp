// The emulator as a child process of the test, over pipes (Linux).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/support/emulatorprocess.h"
#include "tests/support/eventually.h"

extern char** environ;

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

// Writing to an emulator that has died must fail, not kill the test.
void IgnoreSigpipe() {
  struct sigaction current;
  if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

EmulatorProcess::EmulatorProcess(std::vector<std::string> extraOptions, std::string program) {
#ifdef VORMIK_EMULATOR_PATH
  if (program.empty()) program = VORMIK_EMULATOR_PATH;
#endif
  if (program.empty()) {
    error_ = "no emulator path compiled in";
    return;
  }
  if (dir_.path().empty()) {
    error_ = "cannot create a temporary folder";
    return;
  }
  IgnoreSigpipe();
  linkPath_ = dir_.File("ttyVORMIK");
  tracePath_ = dir_.File("trace.log");
  // A --link or --trace among the extra options replaces the default one.
  std::vector<std::string> args = {program};
  bool ownLink = true, ownTrace = true;
  for (size_t i = 0; i + 1 < extraOptions.size(); ++i) {
    if (extraOptions[i] == "--link") {
      linkPath_ = extraOptions[i + 1];
      ownLink = false;
    } else if (extraOptions[i] == "--trace") {
      tracePath_ = extraOptions[i + 1];
      ownTrace = false;
    }
  }
  if (ownLink) args.insert(args.end(), {"--link", linkPath_});
  if (ownTrace) args.insert(args.end(), {"--trace", tracePath_});
  args.push_back("--quit-on-eof");
  args.insert(args.end(), extraOptions.begin(), extraOptions.end());

  int toChild[2];
  int fromChild[2];
  if (::pipe2(toChild, O_CLOEXEC) != 0) {
    error_ = std::string("pipe: ") + std::strerror(errno);
    return;
  }
  if (::pipe2(fromChild, O_CLOEXEC) != 0) {
    error_ = std::string("pipe: ") + std::strerror(errno);
    ::close(toChild[0]);
    ::close(toChild[1]);
    return;
  }

  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
  pid_t pid = -1;
  int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(toChild[0]);
  ::close(fromChild[1]);
  stdinFd_ = toChild[1];
  stdoutFd_ = fromChild[0];
  if (rc != 0) {
    error_ = "cannot start " + program + ": " + std::strerror(rc);
    reaped_ = true;
    return;
  }
  pid_ = pid;

  // The emulator prints "ready <link>" once its pty and link are in place.
  auto start = Clock::now();
  while (true) {
    int left = kStartTimeoutMs - static_cast<int>(MsSince(start));
    if (left <= 0) {
      error_ = "the emulator did not report ready within " + std::to_string(kStartTimeoutMs) +
               " ms";
      Stop();
      return;
    }
    auto line = ReadLine(left);
    if (!line) {
      error_ = "the emulator ended before it was ready";
      Stop();
      return;
    }
    if (line->rfind("ready ", 0) == 0) break;
  }
  struct stat info;
  if (::lstat(linkPath_.c_str(), &info) != 0) {
    error_ = "the emulator reported ready but " + linkPath_ + " is missing";
    Stop();
    return;
  }
  started_ = true;
}

EmulatorProcess::~EmulatorProcess() { Stop(); }

bool EmulatorProcess::Running() {
  if (pid_ <= 0 || reaped_) return false;
  int status = 0;
  pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    reaped_ = true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
  }
  return r == 0;
}

int EmulatorProcess::Stop() {
  if (stdinFd_ >= 0) {
    ::close(stdinFd_);
    stdinFd_ = -1;
  }
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGTERM);
    auto start = Clock::now();
    while (Running() && MsSince(start) < kStopTimeoutMs)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!reaped_) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      reaped_ = true;
      exitStatus_ = -1;
    }
  }
  if (stdoutFd_ >= 0) {
    ::close(stdoutFd_);
    stdoutFd_ = -1;
  }
  started_ = false;
  return exitStatus_;
}

bool EmulatorProcess::WriteLine(const std::string& line) {
  if (stdinFd_ < 0) return false;
  std::string text = line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(stdinFd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::optional<std::string> EmulatorProcess::ReadLine(int timeoutMs) {
  auto start = Clock::now();
  while (true) {
    size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return line;
    }
    if (stdoutFd_ < 0) return std::nullopt;
    int left = timeoutMs - static_cast<int>(MsSince(start));
    if (left <= 0) return std::nullopt;
    struct pollfd p = {stdoutFd_, POLLIN, 0};
    int r = ::poll(&p, 1, left);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return std::nullopt;
    char buffer[512];
    ssize_t n = ::read(stdoutFd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;  // the emulator closed its stdout: it has ended
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace testsupport
