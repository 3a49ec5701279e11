// The controller emulator run for a test: its trace and its stdin commands;
// starting and stopping it are the platform files' part.
#include "tests/support/emulatorprocess.h"
#include "tests/support/eventually.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

bool ParseHexByte(const std::string& word, uint8_t& out) {
  if (word.empty() || word.size() > 2) return false;
  unsigned value = 0;
  for (char c : word) {
    value <<= 4;
    if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
    else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
    else return false;
  }
  out = static_cast<uint8_t>(value);
  return true;
}

bool ParseHexField(const std::string& text, const std::string& name, size_t digits,
                   unsigned& out) {
  if (text.size() != name.size() + 1 + digits || text.compare(0, name.size(), name) != 0 ||
      text[name.size()] != '=')
    return false;
  out = 0;
  for (size_t i = name.size() + 1; i < text.size(); ++i) {
    uint8_t nibble = 0;
    if (!ParseHexByte(std::string(1, text[i]), nibble)) return false;
    out = (out << 4) | nibble;
  }
  return true;
}

}  // namespace

bool TraceLine::IsPoll() const {
  return kind == Kind::kExchange && rx.size() == 3 && rx[0] == 0x55 && rx[1] == 0x30 &&
         rx[2] == 0x03;
}

bool TraceLine::IsFrame() const {
  return kind == Kind::kExchange && rx.size() == 6 && rx[0] == 0x55 && rx[1] == 0x30;
}

std::optional<TraceLine> ParseTraceLine(const std::string& line) {
  std::istringstream in(line);
  TraceLine result;
  std::string word;
  if (!(in >> result.ms) || !(in >> word)) return std::nullopt;
  std::vector<uint8_t>* target = &result.rx;
  if (word == "GARBAGE") {
    result.kind = TraceLine::Kind::kGarbage;
  } else if (word == "BADSUM") {
    result.kind = TraceLine::Kind::kBadChecksum;
  } else if (word != "RX") {
    return std::nullopt;
  }
  bool sawTx = false;
  while (in >> word) {
    if (word == "TX" && result.kind == TraceLine::Kind::kExchange && !sawTx) {
      sawTx = true;
      target = &result.tx;
      continue;
    }
    uint8_t byte = 0;
    if (!ParseHexByte(word, byte)) return std::nullopt;
    target->push_back(byte);
  }
  if (result.kind == TraceLine::Kind::kExchange && !sawTx) return std::nullopt;
  return result;
}

std::vector<TraceLine> ReadTraceFile(const std::string& path) {
  std::vector<TraceLine> lines;
  std::ifstream in(path);
  std::string text;
  while (std::getline(in, text)) {
    // A line still being written has no newline yet; getline then hits EOF.
    if (in.eof()) break;
    if (auto parsed = ParseTraceLine(text)) lines.push_back(*parsed);
  }
  return lines;
}

std::vector<TraceLine> FramesOnly(const std::vector<TraceLine>& lines) {
  std::vector<TraceLine> out;
  for (const auto& l : lines)
    if (l.IsFrame()) out.push_back(l);
  return out;
}

std::vector<TraceLine> PollsOnly(const std::vector<TraceLine>& lines) {
  std::vector<TraceLine> out;
  for (const auto& l : lines)
    if (l.IsPoll()) out.push_back(l);
  return out;
}

std::vector<TraceLine> GarbageOnly(const std::vector<TraceLine>& lines) {
  std::vector<TraceLine> out;
  for (const auto& l : lines)
    if (l.kind == TraceLine::Kind::kGarbage) out.push_back(l);
  return out;
}

std::string HexText(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buffer[4];
  for (uint8_t b : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02X", b);
    if (!out.empty()) out += ' ';
    out += buffer;
  }
  return out;
}

std::optional<EmulatorRegisters> ParseRegisters(const std::string& line) {
  std::istringstream in(line);
  std::string ledA, lineReg, ledB, route, pairs, extra;
  if (!(in >> ledA >> lineReg >> ledB >> route >> pairs) || (in >> extra)) return std::nullopt;
  unsigned a, l, b, r, p;
  if (!ParseHexField(ledA, "LedA", 4, a) || !ParseHexField(lineReg, "Line", 4, l) ||
      !ParseHexField(ledB, "LedB", 4, b) || !ParseHexField(route, "Route", 2, r) ||
      !ParseHexField(pairs, "Pairs", 2, p))
    return std::nullopt;
  EmulatorRegisters regs;
  regs.ledA = static_cast<uint16_t>(a);
  regs.line = static_cast<uint16_t>(l);
  regs.ledB = static_cast<uint16_t>(b);
  regs.route = static_cast<uint8_t>(r);
  regs.pairs = static_cast<uint8_t>(p);
  return regs;
}

bool EmulatorProcess::Send(const std::string& line) {
  if (!WriteLine(line)) {
    error_ = "cannot write to the emulator: " + line;
    return false;
  }
  auto answer = ReadLine(kAnswerTimeoutMs);
  if (!answer) {
    error_ = "no answer from the emulator to: " + line;
    return false;
  }
  if (*answer != "ok") {
    error_ = "emulator answered '" + *answer + "' to: " + line;
    return false;
  }
  return true;
}

std::optional<EmulatorRegisters> EmulatorProcess::Registers() {
  if (!WriteLine("regs")) {
    error_ = "cannot write to the emulator: regs";
    return std::nullopt;
  }
  auto answer = ReadLine(kAnswerTimeoutMs);
  if (!answer) {
    error_ = "no answer from the emulator to: regs";
    return std::nullopt;
  }
  auto regs = ParseRegisters(*answer);
  if (!regs) error_ = "emulator answered '" + *answer + "' to: regs";
  return regs;
}

std::vector<TraceLine> EmulatorProcess::WaitForTrace(size_t count, int timeoutMs,
                                                     bool exchangesOnly) const {
  auto start = Clock::now();
  while (true) {
    auto lines = Trace();
    size_t have = 0;
    for (const auto& l : lines)
      if (!exchangesOnly || l.kind == TraceLine::Kind::kExchange) ++have;
    if (have >= count || MsSince(start) >= timeoutMs) return lines;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace testsupport
