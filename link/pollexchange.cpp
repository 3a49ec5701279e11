// The poll exchange shared by the poll thread and the read before a write-back.
#include "link/pollexchange.h"

#include "link/frame.h"

PollReply ExchangePoll(platform::SerialPort& serial) {
  // A stray byte left from before would shift every reply after it.
  serial.Purge(platform::kPurgeRxClear);
  bool ok = true;
  for (uint8_t b : frame::kPollFrame) ok = ok && serial.WriteByte(b);
  ok = ok && serial.Drain();
  if (!ok) {
    serial.Purge(platform::kPurgeTxAbort | platform::kPurgeTxClear);  // a poll cut short
    return {};
  }
  uint8_t reply[frame::kPollReplyLength] = {};
  int got = 0;
  for (uint8_t& b : reply) {
    if (!serial.ReadByte(b)) break;
    ++got;
  }
  if (got == 0) return {};
  if (got < frame::kPollReplyLength || reply[2] != frame::PollReplyChecksum(reply[0], reply[1]))
    return {PollReplyKind::kSpoilt, 0, 0};
  return {PollReplyKind::kReport, reply[0], reply[1]};
}

PollReply PollReadingAgainWhenSpoilt(platform::SerialPort& serial) {
  PollReply reply = ExchangePoll(serial);
  for (int i = 0; i < kPollRepeatsWhenSpoilt && reply.kind == PollReplyKind::kSpoilt; ++i) {
    reply = ExchangePoll(serial);
  }
  return reply;
}
