// The controller's wire protocol: register-write frames, acknowledgements, the poll.
#pragma once

#include <array>
#include <cstdint>

namespace frame {

inline constexpr uint8_t kStartByte = 0x55;
inline constexpr uint8_t kSecondByte = 0x30;
inline constexpr uint8_t kPollCommand = 0x03;

inline constexpr uint8_t kLedA = 0x81;
inline constexpr uint8_t kLine = 0x82;
inline constexpr uint8_t kLedB = 0x83;
inline constexpr uint8_t kRoutePairs = 0x84;

inline constexpr int kFrameLength = 6;
inline constexpr int kPollLength = 3;
inline constexpr int kPollReplyLength = 3;

// (1 + the five bytes before it) modulo 256.
constexpr uint8_t Checksum(uint8_t command, uint8_t high, uint8_t low) {
  return static_cast<uint8_t>(1 + kStartByte + kSecondByte + command + high + low);
}
constexpr uint8_t AckFor(uint8_t checksum) { return static_cast<uint8_t>(checksum + 1); }

constexpr std::array<uint8_t, kFrameLength> Build(uint8_t command, uint8_t high, uint8_t low) {
  return {kStartByte, kSecondByte, command, high, low, Checksum(command, high, low)};
}

inline constexpr std::array<uint8_t, kPollLength> kPollFrame = {kStartByte, kSecondByte,
                                                               kPollCommand};
// Check-sum of a status reply: the same rule over the poll and the two status bytes.
constexpr uint8_t PollReplyChecksum(uint8_t statusHigh, uint8_t statusLow) {
  return static_cast<uint8_t>(1 + kStartByte + kSecondByte + kPollCommand + statusHigh +
                              statusLow);
}

// The probe: a LedA write of zero.
inline constexpr std::array<uint8_t, kFrameLength> kProbeFrame = Build(kLedA, 0x00, 0x00);

}  // namespace frame
