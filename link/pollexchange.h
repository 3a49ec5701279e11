// One poll of the controller's indicator report on a port already taken, and
// the rule that a spoilt reply is asked for again, not taken for "no call".
#pragma once

#include <cstdint>

#include "platform/serialport.h"

enum class PollReplyKind {
  kReport,  // three bytes with a matching check-sum
  kSpoilt,  // bytes came, but not a valid reply (line noise, a stray byte)
  kNone,    // nothing came, or the device failed
};

struct PollReply {
  PollReplyKind kind = PollReplyKind::kNone;
  uint8_t statusHigh = 0;
  uint8_t statusLow = 0;
};

// A spoilt reply is asked for again this many times before it counts as no answer.
inline constexpr int kPollRepeatsWhenSpoilt = 2;

// Clears the receive buffer, sends the poll, drains and reads the reply.
PollReply ExchangePoll(platform::SerialPort& serial);
// ExchangePoll, repeated at once while the reply is spoilt.
PollReply PollReadingAgainWhenSpoilt(platform::SerialPort& serial);
