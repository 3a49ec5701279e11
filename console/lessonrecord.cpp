// The lesson record: desk states to events, activities and calls.
#include "console/lessonrecord.h"

#include <algorithm>

#include "console/display.h"

namespace console {

namespace {

bool Has(uint16_t mask, int desk) { return ((mask >> desk) & 1) != 0; }
uint16_t Bit(int desk) { return static_cast<uint16_t>(1u << desk); }

}  // namespace

DeskStates ReadDeskStates(const SwitchRegisters& registers, uint16_t calling) {
  const TeacherRoute route = DecodeRoute(registers.Route);
  DeskStates states;
  states.calling = calling;
  for (int d = 0; d < kDeskCount; ++d) {
    const bool joined = PairJoinedIn(registers, d / 2);
    // A joined pair is one channel: the teacher hears both its desks.
    const bool routed = route.desk == d || (joined && route.desk == (d ^ 1));
    if (routed) states.listened |= Bit(d);
    if (routed && route.speaking) states.spoken |= Bit(d);
    if (joined) states.paired |= Bit(d);
    if (LineBitIn(registers, d)) states.onLine |= Bit(d);
  }
  return states;
}

void LessonRecord::Begin(const DeskStates& states, Moment at) {
  start_ = at;
  events_.clear();
  activities_.clear();
  std::vector<CallRecord> open;
  for (const CallRecord& call : calls_) {
    if (call.endedMs < 0 && Has(states.calling, call.desk)) open.push_back(call);
  }
  calls_ = open;
  states_ = states;
  states_.calling = 0;
  for (const CallRecord& call : calls_) states_.calling |= Bit(call.desk);
  for (int d = 0; d < kDeskCount; ++d) {
    if (Has(states.listened, d)) Open(d, ActivityKind::Listen, at.ms);
    if (Has(states.spoken, d)) Open(d, ActivityKind::Speak, at.ms);
    if (Has(states.paired, d)) Open(d, ActivityKind::Pair, at.ms);
    if (Has(states.onLine, d)) Open(d, ActivityKind::Line, at.ms);
  }
}

void LessonRecord::Add(std::vector<LessonEvent>& out, LessonEventKind kind, int desk, Moment at,
                       int64_t durationMs) {
  LessonEvent event;
  event.at = at;
  event.kind = kind;
  event.desk = desk;
  event.durationMs = durationMs;
  out.push_back(event);
  events_.push_back(event);
}

std::vector<LessonEvent> LessonRecord::Update(const DeskStates& now, Moment at) {
  struct Lane {
    uint16_t DeskStates::*mask;
    ActivityKind kind;
    LessonEventKind started, ended;
  };
  static const Lane kLanes[] = {
      {&DeskStates::listened, ActivityKind::Listen, LessonEventKind::ListenStarted,
       LessonEventKind::ListenEnded},
      {&DeskStates::spoken, ActivityKind::Speak, LessonEventKind::SpeakStarted,
       LessonEventKind::SpeakEnded},
      {&DeskStates::paired, ActivityKind::Pair, LessonEventKind::PairJoined,
       LessonEventKind::PairParted},
      {&DeskStates::onLine, ActivityKind::Line, LessonEventKind::LineOn, LessonEventKind::LineOff},
  };
  std::vector<LessonEvent> out;
  // Speaking ends before listening does, as the teacher lets go of the desk.
  for (auto lane = std::rbegin(kLanes); lane != std::rend(kLanes); ++lane) {
    for (int d = 0; d < kDeskCount; ++d) {
      if (Has(states_.*(lane->mask), d) && !Has(now.*(lane->mask), d)) {
        Add(out, lane->ended, d, at, Close(d, lane->kind, at.ms));
      }
    }
  }
  for (const Lane& lane : kLanes) {
    for (int d = 0; d < kDeskCount; ++d) {
      if (!Has(states_.*(lane.mask), d) && Has(now.*(lane.mask), d)) {
        Open(d, lane.kind, at.ms);
        Add(out, lane.started, d, at);
      }
    }
  }
  for (int d = 0; d < kDeskCount; ++d) {
    if (Has(now.calling, d) && OpenCall(d) == nullptr) {
      calls_.push_back({d, at.ms, -1, -1});
      Add(out, LessonEventKind::CallLit, d, at);
    }
    CallRecord* call = OpenCall(d);
    // Heard while it calls: a desk already listened to is answered at once,
    // unless only the round's step hears it (a call is the teacher's to answer).
    if (call != nullptr && call->answeredMs < 0 && Has(now.listened, d) &&
        !Has(now.roundHeard, d)) {
      call->answeredMs = at.ms;
      Add(out, LessonEventKind::CallAnswered, d, at, at.ms - call->litMs);
    }
    if (call != nullptr && !Has(now.calling, d)) {
      call->endedMs = at.ms;
      Add(out, LessonEventKind::CallEnded, d, at, at.ms - call->litMs);
    }
  }
  states_ = now;
  return out;
}

LessonEvent LessonRecord::Note(LessonEventKind kind, Moment at) {
  std::vector<LessonEvent> out;
  Add(out, kind, -1, at);
  return out.front();
}

void LessonRecord::Finish(Moment at) {
  for (Activity& activity : activities_) {
    if (activity.toMs < 0) activity.toMs = std::max(activity.fromMs, at.ms);
  }
}

bool LessonRecord::HadDeskEvents() const {
  return std::any_of(events_.begin(), events_.end(),
                     [](const LessonEvent& e) { return e.desk >= 0; });
}

int64_t LessonRecord::ActiveMs(int desk, ActivityKind kind, int64_t nowMs) const {
  int64_t total = 0;
  for (const Activity& a : activities_) {
    if (a.desk != desk || a.kind != kind) continue;
    const int64_t to = a.toMs >= 0 ? a.toMs : nowMs;
    if (to > a.fromMs) total += to - a.fromMs;
  }
  return total;
}

void LessonRecord::Open(int desk, ActivityKind kind, int64_t atMs) {
  activities_.push_back({desk, kind, atMs, -1});
}

int64_t LessonRecord::Close(int desk, ActivityKind kind, int64_t atMs) {
  for (auto it = activities_.rbegin(); it != activities_.rend(); ++it) {
    if (it->desk == desk && it->kind == kind && it->toMs < 0) {
      it->toMs = std::max(it->fromMs, atMs);
      return it->toMs - it->fromMs;
    }
  }
  return -1;
}

CallRecord* LessonRecord::OpenCall(int desk) {
  for (CallRecord& call : calls_) {
    if (call.desk == desk && call.endedMs < 0) return &call;
  }
  return nullptr;
}

}  // namespace console
