// Timings of the exchange with the controller, in milliseconds.
#pragma once

namespace timing {

inline constexpr int kReadTimeoutMs = 100;         // one byte read waits at most this
inline constexpr int kUiLockWaitMs = 700;          // interface thread's wait for the port
inline constexpr int kPollLockWaitMs = 200;        // poll thread's wait for the port
inline constexpr int kPollIntervalMs = 500;        // pause between two polls
inline constexpr int kWaitDialogMs = 1000;         // the wait dialog closes itself after this
inline constexpr int kPollPauseMs = 1000;          // poll held back after the wait dialog
inline constexpr int kStartupSettleMs = 500;       // after the start-up reset, before polling
inline constexpr int kReconnectIntervalMs = 1000;  // a lost port is reopened at most this often
// After the acknowledgement the line must stay quiet this long: the controller
// answers with one byte, a burst of noise goes on (three byte times at 9600).
inline constexpr int kAckQuietMs = 3;

}  // namespace timing
