// The controller emulator run as a child process of a test, with its trace.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/tempdir.h"

namespace testsupport {

// Usage:
//   EmulatorProcess emu({"--ack-every-other"});   // extra command-line options
//   ASSERT_TRUE(emu.Started()) << emu.Error();
//   port->Open(emu.linkPath());                   // the pty slave, via a symlink
//   emu.Send("led 5 on");                         // waits for the emulator's "ok"
//   auto regs = emu.Registers();                  // std::nullopt if it does not answer
//   auto frames = FramesOnly(emu.WaitForTrace(2)); // trace lines, parsed
// The destructor stops the emulator (SIGTERM, then SIGKILL) and reaps it.
// Under Wine the emulator runs on the Linux side, started by a broker the
// test's fixture runs; linkPath() is then the COM port Wine maps onto it, and
// Pid() is -1.
// One object belongs to one test thread; its methods are not thread-safe.
// Stdin commands and options: `vormik-emulator --help`.

// One line of the emulator's trace file.
struct TraceLine {
  enum class Kind {
    kExchange,     // "<ms> RX <bytes> TX [<bytes>]": a frame or a poll and what was sent back
    kGarbage,      // "<ms> GARBAGE <bytes>": bytes skipped while looking for a frame
    kBadChecksum,  // "<ms> BADSUM <bytes>": a whole frame whose check-sum was wrong
  };
  Kind kind = Kind::kExchange;
  long ms = 0;
  std::vector<uint8_t> rx;  // for kGarbage/kBadChecksum: the bytes skipped
  std::vector<uint8_t> tx;  // empty when nothing was sent

  bool IsPoll() const;   // an exchange whose request was 55 30 03
  bool IsFrame() const;  // an exchange whose request was a six-byte register write
  bool Answered() const { return !tx.empty(); }
};

// Parses one trace line; nullopt for a line in no known form.
std::optional<TraceLine> ParseTraceLine(const std::string& line);
// Parses a whole trace file; unknown lines are skipped. Empty if the file is missing.
std::vector<TraceLine> ReadTraceFile(const std::string& path);
std::vector<TraceLine> FramesOnly(const std::vector<TraceLine>& lines);
std::vector<TraceLine> PollsOnly(const std::vector<TraceLine>& lines);
std::vector<TraceLine> GarbageOnly(const std::vector<TraceLine>& lines);
// "55 30 03" style text of some bytes, for test messages.
std::string HexText(const std::vector<uint8_t>& bytes);

// The emulator's registers as its "regs" command reports them.
struct EmulatorRegisters {
  uint16_t ledA = 0;
  uint16_t line = 0;
  uint16_t ledB = 0;
  uint8_t route = 0;
  uint8_t pairs = 0;
};
// Parses "LedA=XXXX Line=XXXX LedB=XXXX Route=XX Pairs=XX".
std::optional<EmulatorRegisters> ParseRegisters(const std::string& line);

class EmulatorProcess {
 public:
  // Bound for start-up, for each stdin command's answer and for stopping.
  static constexpr int kStartTimeoutMs = 5000;
  static constexpr int kAnswerTimeoutMs = 3000;
  static constexpr int kStopTimeoutMs = 2000;

  // Starts VORMIK_EMULATOR_PATH (or `program` when given) with --link and
  // --trace in a fresh temporary folder (unless `extraOptions` name their own)
  // plus `extraOptions`, and waits until it reports "ready" (its link exists
  // then). A failed start leaves no process behind.
  explicit EmulatorProcess(std::vector<std::string> extraOptions = {},
                           std::string program = std::string());
  ~EmulatorProcess();
  EmulatorProcess(const EmulatorProcess&) = delete;
  EmulatorProcess& operator=(const EmulatorProcess&) = delete;

  bool Started() const { return started_; }
  // Why it did not start, or the last command that failed.
  const std::string& Error() const { return error_; }
  bool Running();
  pid_t Pid() const { return pid_; }

  const std::string& linkPath() const { return linkPath_; }
  const std::string& tracePath() const { return tracePath_; }
  const TempDir& dir() const { return dir_; }

  // Writes one command line to the emulator's stdin and waits for its answer
  // line; true when the answer was "ok".
  bool Send(const std::string& line);
  std::optional<EmulatorRegisters> Registers();

  std::vector<TraceLine> Trace() const { return ReadTraceFile(tracePath_); }
  // Re-reads the trace until it has at least `count` lines (only exchanges
  // counted when `exchangesOnly`) or the time is up; returns what it read last.
  std::vector<TraceLine> WaitForTrace(size_t count, int timeoutMs = kAnswerTimeoutMs,
                                      bool exchangesOnly = false) const;

  // Stops the emulator; returns its exit status (-1 if it had to be killed or
  // was not running). Called by the destructor.
  int Stop();

 private:
  bool WriteLine(const std::string& line);
  std::optional<std::string> ReadLine(int timeoutMs);

  TempDir dir_;
  std::string linkPath_;
  std::string tracePath_;
  std::string error_;
  pid_t pid_ = -1;
  int stdinFd_ = -1;
  int stdoutFd_ = -1;
#ifdef _WIN32
  // The connection to the broker that runs the emulator on the Linux side of
  // Wine (tests/windows/emulatorbroker.py); ~0 when closed.
  uintptr_t broker_ = ~uintptr_t{0};
  std::optional<std::string> ReadBrokerLine(char kind, int timeoutMs);
#endif
  std::string pending_;  // stdout bytes read past the last full line
  bool started_ = false;
  bool reaped_ = false;
  int exitStatus_ = -1;
};

}  // namespace testsupport
