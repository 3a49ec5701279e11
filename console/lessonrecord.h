// The record of one lesson, kept from the register copy as it changes: who
// was listened to, spoken to, paired and on the line, and each call from lit
// to answered to ended. Pure: times are given to it, it reads no clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/desks.h"
#include "link/switchstate.h"

namespace console {

// A moment of the wall clock: milliseconds since 1970 (UTC) and the local
// offset then, so that times print as the teacher's clock showed them.
struct Moment {
  int64_t ms = 0;
  int utcOffsetSeconds = 0;
};

enum class LessonEventKind {
  ConsoleStarted,
  ConsoleClosed,
  NewLesson,
  RoundStarted,
  RoundStopped,
  CallLit,
  CallAnswered,
  CallEnded,
  ListenStarted,
  ListenEnded,
  SpeakStarted,
  SpeakEnded,
  PairJoined,
  PairParted,
  LineOn,
  LineOff,
};

struct LessonEvent {
  Moment at;
  LessonEventKind kind = LessonEventKind::ConsoleStarted;
  int desk = -1;            // -1 for the console's own events
  int64_t durationMs = -1;  // how long the thing that ended (or the wait) lasted
};

// What a desk was doing for a stretch of the lesson: the timeline's lanes.
enum class ActivityKind { Listen, Speak, Pair, Line };
inline constexpr int kActivityKinds = 4;

struct Activity {
  int desk = 0;
  ActivityKind kind = ActivityKind::Listen;
  int64_t fromMs = 0;
  int64_t toMs = -1;  // -1 while it goes on
};

struct CallRecord {
  int desk = 0;
  int64_t litMs = 0;
  int64_t answeredMs = -1;  // -1 while not answered
  int64_t endedMs = -1;     // -1 while the LED is lit
};

// What the record reads from the register copy, one bit per desk.
struct DeskStates {
  uint16_t listened = 0;  // the desk's listen button is down (speaking too)
  uint16_t spoken = 0;
  uint16_t paired = 0;
  uint16_t onLine = 0;
  uint16_t calling = 0;  // a call the console knows of (an LED lit by the poll)
  // Listened to by the monitoring round, not by the teacher: no call answered.
  uint16_t roundHeard = 0;
};
// The first four from the registers; `calling` as given.
DeskStates ReadDeskStates(const SwitchRegisters& registers, uint16_t calling);

class LessonRecord {
 public:
  // The lesson starts with the desks as they stand; nothing of it is an event.
  // Calls still lit from an earlier lesson go on with their own times.
  void Begin(const DeskStates& states, Moment at);
  // The events of the change from the last states to these, in this order:
  // things ended, things started, then calls lit, answered and ended, each
  // in desk order. They are kept in events() too.
  std::vector<LessonEvent> Update(const DeskStates& states, Moment at);
  // An event of the console itself (started, closed, a round, a new lesson).
  LessonEvent Note(LessonEventKind kind, Moment at);
  // Closes what goes on at `at` (the lesson's end), without events.
  void Finish(Moment at);

  const std::vector<LessonEvent>& events() const { return events_; }
  const std::vector<Activity>& activities() const { return activities_; }
  const std::vector<CallRecord>& calls() const { return calls_; }
  Moment start() const { return start_; }
  // Any event of a desk since the lesson began (the console's own do not count).
  bool HadDeskEvents() const;
  // How long the desk has been in that state in this lesson, up to nowMs.
  int64_t ActiveMs(int desk, ActivityKind kind, int64_t nowMs) const;

 private:
  void Open(int desk, ActivityKind kind, int64_t atMs);
  int64_t Close(int desk, ActivityKind kind, int64_t atMs);
  CallRecord* OpenCall(int desk);
  void Add(std::vector<LessonEvent>& out, LessonEventKind kind, int desk, Moment at,
           int64_t durationMs = -1);

  DeskStates states_;
  Moment start_;
  std::vector<LessonEvent> events_;
  std::vector<Activity> activities_;
  std::vector<CallRecord> calls_;
};

}  // namespace console
