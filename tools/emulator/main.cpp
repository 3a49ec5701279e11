// vormik-emulator: stands in for the switching controller on a pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "controllersim/controller.h"
#include "controllersim/frameparser.h"
#include "controllersim/trace.h"

namespace {

using Clock = std::chrono::steady_clock;

// A partial frame followed by this much silence is given up, so one lost byte
// cannot swallow the start of the next frame.
constexpr int kPartialFrameTimeoutMs = 50;
// One byte on a 9600-baud 8N1 line: ten bits.
constexpr auto kByteTime = std::chrono::microseconds(1042);
// Back-off when the pty reports a hang-up, so the loop does not spin.
constexpr int kHangupPauseMs = 20;

const char kUsage[] =
    "usage: vormik-emulator --link PATH [options]\n"
    "  --link PATH          symlink to create to the pty slave (replaced if a stale link)\n"
    "  --trace FILE         one line per exchange: '<ms> RX <bytes> TX [<bytes>]',\n"
    "                       skipped bytes as '<ms> GARBAGE <bytes>', frames with a\n"
    "                       wrong check-sum as '<ms> BADSUM <bytes>'\n"
    "  --silent             never answer\n"
    "  --ack-every-other    acknowledge only every second frame (polls still answered)\n"
    "  --wrong-ack          acknowledge with check-sum + 2\n"
    "  --delay-ms N         answer after N ms\n"
    "  --drop-poll          never answer polls\n"
    "  --baud               pace bytes like a 9600-baud 8N1 line\n"
    "  --random-faults SEED drop/spoil/delay answers or inject a byte at random\n"
    "  --quit-on-eof        exit when stdin ends (for a parent process)\n"
    "stdin commands (each answered by one line on stdout):\n"
    "  led N on|off         desk N (1..16): set or clear its bit in LedA and LedB\n"
    "  stray N              N stray bytes (A5) before the next poll reply (1..16)\n"
    "  fault MODE on|off    MODE: silent ack-every-other wrong-ack drop-poll baud\n"
    "  fault delay-ms N|off\n"
    "  fault silent-after N|off  answer N more register writes, then fall silent\n"
    "  fault random-faults SEED|on|off\n"
    "  fault all off\n"
    "  regs                 'LedA=XXXX Line=XXXX LedB=XXXX Route=XX Pairs=XX'\n"
    "  quit\n"
    "Prints 'ready <link>' when listening. A poll reports LedB as the desks' indicators.\n";

volatile sig_atomic_t gStop = 0;

void OnStopSignal(int) { gStop = 1; }

struct Options {
  std::string link;
  std::string trace;
  bool quitOnEof = false;
  controllersim::FaultSettings faults;
};

bool ParseCount(const char* text, long max, long& out) {
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < 0 || value > max) return false;
  out = value;
  return true;
}

// Returns 0 to go on, otherwise the exit code.
int ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto needValue = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vormik-emulator: %s needs a value\n%s", name, kUsage);
        return nullptr;
      }
      return argv[++i];
    };
    long number = 0;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return -1;
    } else if (arg == "--link") {
      const char* v = needValue("--link");
      if (!v) return 2;
      options.link = v;
    } else if (arg == "--trace") {
      const char* v = needValue("--trace");
      if (!v) return 2;
      options.trace = v;
    } else if (arg == "--silent") {
      options.faults.silent = true;
    } else if (arg == "--ack-every-other") {
      options.faults.ackEveryOther = true;
    } else if (arg == "--wrong-ack") {
      options.faults.wrongAck = true;
    } else if (arg == "--drop-poll") {
      options.faults.dropPoll = true;
    } else if (arg == "--baud") {
      options.faults.baud = true;
    } else if (arg == "--quit-on-eof") {
      options.quitOnEof = true;
    } else if (arg == "--delay-ms") {
      const char* v = needValue("--delay-ms");
      if (!v) return 2;
      if (!ParseCount(v, 60000, number)) {
        std::fprintf(stderr, "vormik-emulator: bad --delay-ms value '%s'\n", v);
        return 2;
      }
      options.faults.delayMs = static_cast<int>(number);
    } else if (arg == "--random-faults") {
      const char* v = needValue("--random-faults");
      if (!v) return 2;
      if (!ParseCount(v, 4294967295L, number)) {
        std::fprintf(stderr, "vormik-emulator: bad --random-faults seed '%s'\n", v);
        return 2;
      }
      options.faults.random = true;
      options.faults.seed = static_cast<uint32_t>(number);
    } else {
      std::fprintf(stderr, "vormik-emulator: unknown option '%s'\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  if (options.link.empty()) {
    std::fprintf(stderr, "vormik-emulator: --link PATH is required\n%s", kUsage);
    return 2;
  }
  return 0;
}

bool MakeRaw(int fd) {
  struct termios mode;
  if (::tcgetattr(fd, &mode) != 0) return false;
  ::cfmakeraw(&mode);
  ::cfsetispeed(&mode, B9600);
  ::cfsetospeed(&mode, B9600);
  mode.c_cflag |= CLOCAL | CREAD;
  return ::tcsetattr(fd, TCSANOW, &mode) == 0;
}

// Puts the symlink in place; only an earlier symlink is replaced, never a real file.
bool PlaceLink(const std::string& link, const std::string& target) {
  struct stat info;
  if (::lstat(link.c_str(), &info) == 0) {
    if (!S_ISLNK(info.st_mode)) {
      std::fprintf(stderr, "vormik-emulator: %s exists and is not a symlink\n", link.c_str());
      return false;
    }
    ::unlink(link.c_str());
  }
  if (::symlink(target.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "vormik-emulator: cannot create %s: %s\n", link.c_str(),
                 std::strerror(errno));
    return false;
  }
  return true;
}

// Removes the link only if it still points at our pty (another emulator may
// have taken the name over meanwhile).
void RemoveLink(const std::string& link, const std::string& target) {
  char buffer[512];
  ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (n < 0) return;
  buffer[n] = '\0';
  if (target == buffer) ::unlink(link.c_str());
}

class Emulator {
 public:
  Emulator(const Options& options, int master, FILE* trace)
      : options_(options), controller_(options.faults), master_(master), trace_(trace) {}

  int Run();

 private:
  long NowMs() const {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
  }
  void OnMasterBytes(const uint8_t* bytes, size_t count);
  void Answer(const controllersim::ParsedItem& item, long ms);
  // Paced: each byte goes out one byte time after the one before, counted
  // from `due`, so that late wake-ups do not add up.
  void WriteMaster(const std::vector<uint8_t>& bytes, bool paced, Clock::time_point due);
  void Trace(const std::string& line);
  // False when stdin asked to quit.
  bool OnStdinText(const char* text, size_t count);

  const Options& options_;
  controllersim::Controller controller_;
  controllersim::FrameParser parser_;
  int master_;
  FILE* trace_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastByte_ = Clock::now();
  std::string stdinLine_;
};

void Emulator::Trace(const std::string& line) {
  if (!trace_) return;
  std::fputs(line.c_str(), trace_);
  std::fputc('\n', trace_);
  std::fflush(trace_);
}

void Emulator::WriteMaster(const std::vector<uint8_t>& bytes, bool paced,
                           Clock::time_point due) {
  for (size_t i = 0; i < bytes.size();) {
    // Each byte, the first included, takes its own time on the line.
    if (paced) {
      due += kByteTime;
      std::this_thread::sleep_until(due);
    }
    size_t chunk = paced ? 1 : bytes.size() - i;
    ssize_t n = ::write(master_, bytes.data() + i, chunk);
    if (n < 0 && errno == EINTR) continue;
    // A full buffer means nobody reads: the bytes are lost, as on a real line.
    if (n <= 0) return;
    i += static_cast<size_t>(n);
  }
}

void Emulator::Answer(const controllersim::ParsedItem& item, long ms) {
  controllersim::Reply reply = controller_.Handle(item);
  bool paced = controller_.faults().baud;
  Clock::time_point due = Clock::now();
  if (!reply.bytes.empty()) {
    due += std::chrono::milliseconds(reply.delayMs);
    // The request itself takes this long to come in over a real line.
    if (paced) due += kByteTime * static_cast<int>(item.bytes.size());
    std::this_thread::sleep_until(due);
  }
  // Traced before the answer goes out, so whoever has read the answer finds the line.
  Trace(controllersim::TraceLineFor(ms, item, reply.bytes));
  WriteMaster(reply.bytes, paced, due);
}

void Emulator::OnMasterBytes(const uint8_t* bytes, size_t count) {
  std::vector<controllersim::ParsedItem> items;
  for (size_t i = 0; i < count; ++i) parser_.Feed(bytes[i], items);
  long ms = NowMs();
  for (const auto& item : items) Answer(item, ms);
}

bool Emulator::OnStdinText(const char* text, size_t count) {
  stdinLine_.append(text, count);
  size_t end;
  while ((end = stdinLine_.find('\n')) != std::string::npos) {
    std::string line = stdinLine_.substr(0, end);
    stdinLine_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    bool quit = false;
    std::string answer = controller_.Command(line, quit);
    if (!answer.empty()) {
      std::fputs(answer.c_str(), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
    }
    if (quit) return false;
  }
  // A line without an end that keeps growing is noise, not a command.
  if (stdinLine_.size() > 4096) stdinLine_.clear();
  return true;
}

int Emulator::Run() {
  // Stop signals are blocked except inside ppoll, so none slips in between the
  // check of gStop and the wait.
  sigset_t blocked, waitMask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGINT);
  sigaddset(&blocked, SIGHUP);
  sigprocmask(SIG_BLOCK, &blocked, &waitMask);
  sigdelset(&waitMask, SIGTERM);
  sigdelset(&waitMask, SIGINT);
  sigdelset(&waitMask, SIGHUP);

  bool stdinOpen = true;
  while (!gStop) {
    struct pollfd fds[2] = {{master_, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    nfds_t count = stdinOpen ? 2 : 1;

    struct timespec timeout;
    struct timespec* timeoutPtr = nullptr;
    if (parser_.HasPending()) {
      auto silentFor = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                                               lastByte_);
      long left = kPartialFrameTimeoutMs - static_cast<long>(silentFor.count());
      if (left < 0) left = 0;
      timeout.tv_sec = left / 1000;
      timeout.tv_nsec = (left % 1000) * 1000000L;
      timeoutPtr = &timeout;
    }
    int ready = ::ppoll(fds, count, timeoutPtr, &waitMask);
    if (ready < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "vormik-emulator: poll: %s\n", std::strerror(errno));
      return 1;
    }
    if (ready == 0) {
      std::vector<controllersim::ParsedItem> items;
      parser_.Flush(items);
      long ms = NowMs();
      for (const auto& item : items) Answer(item, ms);
      continue;
    }

    if (fds[0].revents & POLLIN) {
      uint8_t buffer[256];
      ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        lastByte_ = Clock::now();
        OnMasterBytes(buffer, static_cast<size_t>(n));
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kHangupPauseMs));
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kHangupPauseMs));
    }

    if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      char buffer[512];
      ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (n > 0) {
        if (!OnStdinText(buffer, static_cast<size_t>(n))) return 0;
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        stdinOpen = false;
        if (options_.quitOnEof) return 0;
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int rc = ParseOptions(argc, argv, options);
  if (rc != 0) return rc < 0 ? 0 : rc;

  ::signal(SIGPIPE, SIG_IGN);
  // Byte times are about a millisecond: the default 50 us timer slack on
  // every sleep would make the line noticeably slower than 9600 baud.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  struct sigaction stop = {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  ::sigaction(SIGTERM, &stop, nullptr);
  ::sigaction(SIGINT, &stop, nullptr);
  ::sigaction(SIGHUP, &stop, nullptr);

  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::fprintf(stderr, "vormik-emulator: cannot create a pseudo-terminal: %s\n",
                 std::strerror(errno));
    return 1;
  }
  const char* slaveName = ::ptsname(master);
  if (!slaveName) {
    std::fprintf(stderr, "vormik-emulator: ptsname: %s\n", std::strerror(errno));
    return 1;
  }
  std::string slavePath = slaveName;
  // Held open for the whole run: without it the pty hangs up whenever the
  // console closes its port, and the master would report nothing but errors.
  int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    std::fprintf(stderr, "vormik-emulator: cannot open %s: %s\n", slavePath.c_str(),
                 std::strerror(errno));
    return 1;
  }
  // Raw on both sides: no echo of the console's bytes, no translation of 0x0D/0x0A.
  MakeRaw(slave);
  MakeRaw(master);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

  FILE* trace = nullptr;
  if (!options.trace.empty()) {
    trace = std::fopen(options.trace.c_str(), "w");
    if (!trace) {
      std::fprintf(stderr, "vormik-emulator: cannot write %s: %s\n", options.trace.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }
  if (!PlaceLink(options.link, slavePath)) return 1;

  std::printf("ready %s\n", options.link.c_str());
  std::fflush(stdout);

  Emulator emulator(options, master, trace);
  rc = emulator.Run();

  RemoveLink(options.link, slavePath);
  if (trace) std::fclose(trace);
  ::close(slave);
  ::close(master);
  return rc;
}
