// The switching controller's registers, its answers and the faults it can play.
#include "controllersim/controller.h"

#include <cstdio>
#include <sstream>

#include "link/frame.h"

namespace controllersim {

namespace {

bool ParseNumber(const std::string& text, long min, long max, long& out) {
  if (text.empty() || text.size() > 10) return false;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < min || value > max) return false;
  out = value;
  return true;
}

}  // namespace

Controller::Controller(const FaultSettings& faults) : faults_(faults), random_(faults.seed) {}

int Controller::Percent() { return static_cast<int>(random_() % 100); }

Reply Controller::Handle(const ParsedItem& item) {
  Reply reply;
  bool isPoll = item.kind == ParsedItem::Kind::kPoll;
  if (item.kind == ParsedItem::Kind::kFrame) {
    uint16_t value = static_cast<uint16_t>(item.high() << 8 | item.low());
    switch (item.command()) {
      case frame::kLedA: ledA_ = value; break;
      case frame::kLine: line_ = value; break;
      case frame::kLedB: ledB_ = value; break;
      case frame::kRoutePairs: routePairs_ = value; break;
      default: return reply;
    }
    reply.bytes.push_back(faults_.wrongAck ? static_cast<uint8_t>(item.checksum() + 2)
                                           : frame::AckFor(item.checksum()));
    if (faults_.ackEveryOther && (framesSeen_++ % 2) == 0) reply.bytes.clear();
    // A controller that dies at a known write, so a multi-write path can be
    // failed half-way without racing it.
    if (answersBeforeSilence_ == 0) {
      faults_.silent = true;
      answersBeforeSilence_ = -1;
    } else if (answersBeforeSilence_ > 0) {
      --answersBeforeSilence_;
    }
  } else if (isPoll) {
    if (faults_.dropPoll) return reply;
    uint8_t high = static_cast<uint8_t>(ledB_ >> 8);
    uint8_t low = static_cast<uint8_t>(ledB_ & 0xFF);
    reply.bytes = {high, low, frame::PollReplyChecksum(high, low)};
  } else {
    return reply;  // noise and bad check-sums get no answer
  }
  if (faults_.silent) reply.bytes.clear();
  if (reply.bytes.empty()) return reply;

  reply.delayMs = faults_.delayMs;
  if (faults_.random) {
    if (Percent() < kRandomDropPercent) {
      reply.bytes.clear();
      return reply;
    }
    if (Percent() < kRandomWrongPercent) reply.bytes.back() ^= 0x5A;
    if (Percent() < kRandomLatePercent) reply.delayMs += kRandomLateMs;
    if (Percent() < kRandomGarbagePercent)
      reply.bytes.insert(reply.bytes.begin(), static_cast<uint8_t>(random_() & 0xFF));
  }
  if (isPoll && strayBeforePoll_ > 0) {
    reply.bytes.insert(reply.bytes.begin(), static_cast<size_t>(strayBeforePoll_), kStrayByte);
    strayBeforePoll_ = 0;
  }
  return reply;
}

uint16_t Controller::Register(uint8_t command) const {
  switch (command) {
    case frame::kLedA: return ledA_;
    case frame::kLine: return line_;
    case frame::kLedB: return ledB_;
    case frame::kRoutePairs: return routePairs_;
    default: return 0;
  }
}

bool Controller::SetLed(int desk, bool on) {
  if (desk < 1 || desk > 16) return false;
  uint16_t bit = static_cast<uint16_t>(1u << (desk - 1));
  if (on) {
    ledA_ |= bit;
    ledB_ |= bit;
  } else {
    ledA_ &= static_cast<uint16_t>(~bit);
    ledB_ &= static_cast<uint16_t>(~bit);
  }
  return true;
}

std::string Controller::RegistersText() const {
  char text[80];
  std::snprintf(text, sizeof text, "LedA=%04X Line=%04X LedB=%04X Route=%02X Pairs=%02X", ledA_,
                line_, ledB_, routePairs_ & 0xFF, routePairs_ >> 8);
  return text;
}

bool Controller::SetFault(const std::string& name, const std::string& value) {
  bool on = value == "on";
  bool off = value == "off";
  long number = 0;
  if (name == "delay-ms") {
    if (off) number = 0;
    else if (!ParseNumber(value, 0, 60000, number)) return false;
    faults_.delayMs = static_cast<int>(number);
    return true;
  }
  if (name == "silent-after") {
    if (off) number = -1;
    else if (!ParseNumber(value, 0, 1000000, number)) return false;
    answersBeforeSilence_ = number;
    return true;
  }
  if (name == "random-faults") {
    if (!on && !off) {
      if (!ParseNumber(value, 0, 4294967295L, number)) return false;
      faults_.seed = static_cast<uint32_t>(number);
      random_.seed(faults_.seed);
      on = true;
    }
    faults_.random = on;
    return true;
  }
  if (!on && !off) return false;
  if (name == "silent") faults_.silent = on;
  else if (name == "wrong-ack") faults_.wrongAck = on;
  else if (name == "drop-poll") faults_.dropPoll = on;
  else if (name == "baud") faults_.baud = on;
  else if (name == "ack-every-other") {
    faults_.ackEveryOther = on;
    framesSeen_ = 0;  // the next frame is the one left unanswered
  } else if (name == "all" && off) {
    FaultSettings cleared;
    cleared.seed = faults_.seed;
    faults_ = cleared;
    answersBeforeSilence_ = -1;
  } else {
    return false;
  }
  return true;
}

std::string Controller::Command(const std::string& line, bool& quit) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  if (words.empty()) return std::string();

  const std::string& verb = words[0];
  if (verb == "regs" && words.size() == 1) return RegistersText();
  if (verb == "quit" && words.size() == 1) {
    quit = true;
    return "ok";
  }
  if (verb == "led") {
    long desk = 0;
    if (words.size() != 3 || !ParseNumber(words[1], 1, 16, desk) ||
        (words[2] != "on" && words[2] != "off"))
      return "error usage: led N on|off (N = 1..16)";
    SetLed(static_cast<int>(desk), words[2] == "on");
    return "ok";
  }
  if (verb == "stray") {
    long count = 0;
    if (words.size() != 2 || !ParseNumber(words[1], 1, 16, count))
      return "error usage: stray N (N = 1..16)";
    strayBeforePoll_ = static_cast<int>(count);
    return "ok";
  }
  if (verb == "fault") {
    if (words.size() != 3 || !SetFault(words[1], words[2]))
      return "error usage: fault silent|ack-every-other|wrong-ack|drop-poll|baud on|off, "
             "fault delay-ms N|off, fault silent-after N|off, fault random-faults SEED|on|off, "
             "fault all off";
    return "ok";
  }
  return "error unknown command: " + line;
}

}  // namespace controllersim
