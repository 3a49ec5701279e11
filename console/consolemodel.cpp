// The console's operations on desks (listening, speaking, LEDs, names) and
// all desks at once, the controller's return, the poll and the placement;
// the pairs, the line and the teacher panel are in lineoperations.cpp.
// Every decision reads the display as it stood when the operation began, so
// what the teacher saw is what the operation acts on.
#include "console/consolemodel.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "link/registercopy.h"
#include "console/deskbits.h"
#include "console/modeloperation.h"
#include "link/sendswitchrequest.h"

namespace console {

ConsoleModel::ConsoleModel(ClassroomState& room, FrameSender& sender, std::function<bool()> probe,
                           ConsoleUser& user, ConsolePaths paths)
    : room_(room),
      guard_(sender, room.SwitchState),
      // The probe frame clears LedA in the controller: so does the copy.
      probe_([this, probe = std::move(probe)] {
        if (!probe || !probe()) return false;
        room_.SwitchState.LedALow = room_.SwitchState.LedAHigh = 0;
        return true;
      }),
      user_(user),
      paths_(std::move(paths)) {
  for (int d = 0; d < kDeskCount; ++d) plan_[d].label = std::to_string(d + 1);
}

ConsoleDisplay ConsoleModel::Display() const {
  DisplayInputs in;
  in.registers = &room_.SwitchState;
  in.plan = &plan_;
  in.editedNames = &editedNames_;
  in.editingMask = editingMask_;
  in.spokenOffLineMask = spokenOffLineMask_;
  in.selectedDesk = selected_;
  in.calls = &calls_;
  return ComputeDisplay(in);
}

std::string ConsoleModel::WindowTitle() const {
  return "Vormik (" + (classroomFile_.empty() ? std::string("новый кабинет") : classroomFile_) +
         ")";
}

uint16_t ConsoleModel::VisibleDesksMask() const {
  uint16_t mask = 0;
  for (int d = 0; d < kDeskCount; ++d) {
    if (plan_[d].visible) mask |= DeskBit(d);
  }
  return mask;
}

bool ConsoleModel::Send(int requestType, int desk, bool sourceOn, bool deskOn) {
  return SendSwitchRequest(room_.SwitchState, guard_, requestType, desk, sourceOn, deskOn,
                           VisibleDesksMask());
}

// ---------------------------------------------------------------------------
// Selection and names

void ConsoleModel::SelectDesk(int desk) {
  if (ValidDesk(desk)) selected_ = desk;
}

void ConsoleModel::PressOnDesk(int desk) {
  SelectDesk(desk);
  EndNameEditing();
}

void ConsoleModel::FinishNameEditing(int desk) {
  if (!ValidDesk(desk) || !EditingName(desk)) return;
  // Only a name that really changed makes the plan differ from its file.
  if (editedNames_[desk] != plan_[desk].studentName) {
    plan_[desk].studentName = editedNames_[desk];
    room_.ClassroomChanged = 1;
  }
  editingMask_ &= static_cast<uint16_t>(~DeskBit(desk));
}

void ConsoleModel::EndNameEditing() {
  for (int desk = 0; desk < kDeskCount; ++desk) FinishNameEditing(desk);
}

void ConsoleModel::CancelNameEditing(int desk) {
  if (!ValidDesk(desk)) return;
  editedNames_[desk] = plan_[desk].studentName;
  editingMask_ &= static_cast<uint16_t>(~DeskBit(desk));
}

void ConsoleModel::BeginNameEditing(int desk) {
  if (!ValidDesk(desk)) return;
  EndNameEditing();
  editedNames_[desk] = plan_[desk].studentName;
  editingMask_ |= DeskBit(desk);
}

void ConsoleModel::PressEnterInName(int desk) {
  if (!ValidDesk(desk)) return;
  if (!EditingName(desk)) {
    // Other boxes being edited stay open.
    editedNames_[desk] = plan_[desk].studentName;
    editingMask_ |= DeskBit(desk);
    return;
  }
  plan_[desk].studentName = editedNames_[desk];
  editingMask_ &= static_cast<uint16_t>(~DeskBit(desk));
  room_.ClassroomChanged = 1;
}

void ConsoleModel::TypeName(int desk, const std::string& text) {
  if (ValidDesk(desk) && EditingName(desk)) editedNames_[desk] = classroom::FitStudentName(text);
}

// ---------------------------------------------------------------------------
// Speaking takes a desk off the line; whatever ends the speaking puts it back.

bool ConsoleModel::SpokenTo(int desk) const {
  const TeacherRoute route = DecodeRoute(room_.SwitchState.Route);
  return route.speaking && route.desk == desk;
}

bool ConsoleModel::TeacherLineWanted(const ConsoleDisplay& shown) const {
  return shown.teacher.lineDown ||
         (lineBeforeTalk_ && DecodeRoute(room_.SwitchState.Route).speaking);
}

void ConsoleModel::PutBackOnLine(int desk) {
  // A private talk never goes out on the common line, whatever was refused
  // on the way here.
  if (SpokenTo(desk)) {
    spokenOffLineMask_ |= DeskBit(desk);
    return;
  }
  Send(LineConnect, desk);
}

void ConsoleModel::ReconnectIfSpokenTo(int desk, const ConsoleDisplay& shown) {
  const DeskDisplay& d = shown.desks[desk];
  if (!d.speakDown || d.line != LineCaption::On) return;
  // Tried once: a refusal is not asked again by the end of the operation.
  spokenOffLineMask_ &= static_cast<uint16_t>(~DeskBit(desk));
  PutBackOnLine(desk);
}

void ConsoleModel::ReconnectSpokenDesks(const ConsoleDisplay& shown) {
  for (int desk : kControlOrder) {
    ReconnectIfSpokenTo(desk, shown);
  }
}

void ConsoleModel::ReleaseOtherDesks(int desk, const ConsoleDisplay& shown) {
  for (int other : kControlOrder) {
    if (other != desk) ReconnectIfSpokenTo(other, shown);
  }
}

void ConsoleModel::ForgetLinePlaces(uint16_t desks) {
  spokenOffLineMask_ &= static_cast<uint16_t>(~desks);
}

void ConsoleModel::ReturnDesksNoLongerSpokenTo() {
  // After a refusal nothing more is sent: the desks wait for the next operation.
  if (guard_.Refused()) return;
  const TeacherRoute route = DecodeRoute(room_.SwitchState.Route);
  for (int desk : kControlOrder) {
    if ((spokenOffLineMask_ & DeskBit(desk)) == 0) continue;
    if (route.speaking && route.desk == desk) continue;
    spokenOffLineMask_ &= static_cast<uint16_t>(~DeskBit(desk));
    Send(LineConnect, desk);
  }
}

// The listened desk for the teacher's line requests: the last listen button
// down in control order (desk 16 before 15, 15 before 5), 99 when none.
int ConsoleModel::ListenedDesk(const ConsoleDisplay& shown) const {
  int listened = kNoListenedDesk;
  for (int desk : kControlOrder) {
    if (shown.desks[desk].listenDown) listened = desk;
  }
  return listened;
}

// ---------------------------------------------------------------------------
// Listening, speaking, LEDs

void ConsoleModel::ListenTo(int desk) {
  OnDesk(desk, [&](const ConsoleDisplay& shown) {
    if (!Send(ListenDesk, desk, TeacherLineWanted(shown), false)) return;
    // Known before the change is told to the lesson's record.
    if (roundStep_)
      roundHeard_ = PairJoinedIn(room_.SwitchState, desk / 2) ? PairBits(desk) : DeskBit(desk);
    // The wait for the answer may have let the pointer select another desk.
    SelectDesk(desk);
    ReleaseOtherDesks(desk, shown);
  });
}

void ConsoleModel::ListenForRound(int desk) {
  quietOperation_ = roundStep_ = true;
  ListenTo(desk);
  quietOperation_ = roundStep_ = false;
}

void ConsoleModel::StopListening(int desk) {
  OnDesk(desk, [&](const ConsoleDisplay& shown) {
    if (!Send(ReleaseDesk, desk, TeacherLineWanted(shown), false)) return;
    SelectDesk(desk);
    if (shown.desks[desk].speakDown) ReconnectIfSpokenTo(desk, shown);
  });
}

void ConsoleModel::ToggleListening(int desk) {
  if (!ValidDesk(desk)) return;
  if (Display().desks[desk].listenDown) {
    StopListening(desk);
  } else {
    ListenTo(desk);
  }
}

void ConsoleModel::SpeakTo(int desk) {
  OnDesk(desk, [&](const ConsoleDisplay& shown) {
    // A desk on the line leaves it while the teacher speaks to it alone. The
    // acknowledged Line bit decides, not the caption: a desk showing "Пара"
    // may still be on the line after a refused request.
    const bool onLine = LineBitIn(room_.SwitchState, desk) ||
                        (SpokenTo(desk) && (spokenOffLineMask_ & DeskBit(desk)) != 0);
    const bool lineWanted = TeacherLineWanted(shown);
    if (onLine && !Send(LineDisconnect, desk)) return;
    if (onLine) spokenOffLineMask_ |= DeskBit(desk);
    // Not spoken to after all: the desk stays off the line for now. The
    // controller may still have taken the unconfirmed talk, so it goes back
    // on the line at the end of a later operation, after a route write has
    // ended the talk.
    if (!Send(SpeakDesk, desk)) return;
    // The teacher's line comes back when the talk ends.
    lineBeforeTalk_ = lineWanted;
    SelectDesk(desk);
    ReleaseOtherDesks(desk, shown);
  });
}

void ConsoleModel::StopSpeaking(int desk) {
  OnDesk(desk, [&](const ConsoleDisplay& shown) {
    const bool onLine = shown.desks[desk].line == LineCaption::On;
    // Back to listening when the desk is still listened to, and to the
    // teacher's line when it was on before the talk.
    if (!Send(shown.desks[desk].listenDown ? ListenDesk : ReleaseDesk, desk,
              TeacherLineWanted(shown)))
      return;
    if (onLine) {
      ForgetLinePlaces(DeskBit(desk));
      PutBackOnLine(desk);
    }
  });
}

void ConsoleModel::ToggleSpeaking(int desk) {
  if (!ValidDesk(desk)) return;
  if (Display().desks[desk].speakDown) {
    StopSpeaking(desk);
  } else {
    SpeakTo(desk);
  }
}

void ConsoleModel::PressLedButton(int desk) {
  OnDesk(desk, [&](const ConsoleDisplay& shown) {
    if (shown.desks[desk].ledOn) SendLedSwitch(room_.SwitchState, guard_, desk, false);
  });
}

void ConsoleModel::SwitchSelectedLed(bool on) {
  Operation op(*this);
  if (op.refused()) return;
  SendLedSwitch(room_.SwitchState, guard_, selected_, on);
}

// ---------------------------------------------------------------------------
// All desks

void ConsoleModel::ResetAll() {
  OnTeacher([&](const ConsoleDisplay&) {
    if (Send(::ResetAll, 0)) ForgetLinePlaces(kAllDesks);
  });
}

void ConsoleModel::AllToLine() {
  Operation op(*this);
  if (op.refused()) return;
  const TeacherRoute route = DecodeRoute(room_.SwitchState.Route);
  if (!route.line && !route.inputToLine) {
    user_.ShowMessage("Внимание!!!", "Подключите сигнал на линию!", MessageKind::Warning);
    return;
  }
  EndNameEditing();
  // A desk spoken to stays off the line until the talk ends.
  const int spoken = route.speaking ? route.desk : -1;
  if (SendAllToLine(room_.SwitchState, guard_, spoken)) {
    ForgetLinePlaces(kAllDesks);
    if (spoken >= 0) spokenOffLineMask_ |= DeskBit(spoken);
  }
}

void ConsoleModel::AllInPairs() {
  OnTeacher([&](const ConsoleDisplay&) {
    if (Send(::AllInPairs, 0)) ForgetLinePlaces(kAllDesks);
  });
}

void ConsoleModel::AllLedsOff() {
  OnTeacher([&](const ConsoleDisplay&) { Send(::AllLedsOff, 0); });
}

// ---------------------------------------------------------------------------
// The controller

bool ConsoleModel::Probe() { return probe_(); }

void ConsoleModel::ControllerReturned() {
  restorePending_ = true;
  // The operation under way writes the copy on its way out.
  if (!busy_) RestoreController();
}

void ConsoleModel::RestoreController() {
  // The write-back is no teacher's operation: the round goes on through it.
  const bool wasQuiet = quietOperation_;
  quietOperation_ = true;
  Operation op(*this);
  quietOperation_ = wasQuiet;
  if (op.refused()) return;
  restorePending_ = false;
  // The controller may have lit LEDs the copy has not seen: a student called
  // while the link was down. Written back dark, the call would be lost.
  if (readIndicators_) {
    if (const auto report = readIndicators_()) KeepReportedCalls(report->first, report->second);
  }
  SendRegisterCopy(room_.SwitchState, guard_);
}

void ConsoleModel::KeepReportedCalls(uint8_t statusHigh, uint8_t statusLow) {
  // Reported lit or lit in the copy: nothing the copy shows lit goes dark.
  ApplyIndicators(static_cast<uint8_t>(statusHigh | room_.SwitchState.LedBHigh),
                  static_cast<uint8_t>(statusLow | room_.SwitchState.LedBLow));
}

// ---------------------------------------------------------------------------
// The poll

std::vector<IndicatorChange> ConsoleModel::ApplyIndicators(uint8_t statusHigh, uint8_t statusLow) {
  const SwitchRegisters before = room_.SwitchState;
  std::vector<IndicatorChange> changes =
      ApplyIndicatorReport(room_.SwitchState, statusHigh, statusLow);
  const int64_t now = clock_ ? clock_()
                             : std::chrono::duration_cast<std::chrono::seconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
  for (const IndicatorChange& change : changes) {
    if (!change.on) continue;
    const bool calling = std::any_of(calls_.begin(), calls_.end(),
                                     [&](const Call& c) { return c.desk == change.deskIndex; });
    if (!calling) calls_.push_back({change.deskIndex, now});
  }
  DropEndedCalls();
  NotifyRegistersChanged(before);
  return changes;
}

void ConsoleModel::AddObserver(ConsoleObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void ConsoleModel::RemoveObserver(ConsoleObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void ConsoleModel::NotifyOperationStarting() {
  for (ConsoleObserver* observer : std::vector<ConsoleObserver*>(observers_))
    observer->OperationStarting();
}

void ConsoleModel::NotifyRegistersChanged(const SwitchRegisters& before) {
  if (SameRegisters(before, room_.SwitchState)) return;
  const SwitchRegisters after = room_.SwitchState;
  for (ConsoleObserver* observer : std::vector<ConsoleObserver*>(observers_))
    observer->RegistersChanged(before, after);
}

void ConsoleModel::DropEndedCalls() {
  calls_.erase(
      std::remove_if(calls_.begin(), calls_.end(),
                     [this](const Call& c) { return !LedBitIn(room_.SwitchState, c.desk); }),
      calls_.end());
}

// ---------------------------------------------------------------------------
// Placement

void ConsoleModel::PlaceDesk(int desk, int left, int top, bool visible) {
  if (!ValidDesk(desk)) return;
  plan_[desk].left = left;
  plan_[desk].top = top;
  plan_[desk].visible = visible;
}

void ConsoleModel::SetPlanArea(int width, int height) {
  planWidth_ = width;
  planHeight_ = height;
}

void ConsoleModel::MoveDesk(int desk, int left, int top) {
  if (!ValidDesk(desk) || !DesksMovable()) return;
  if (planWidth_ > 0 && planHeight_ > 0) {
    // The whole panel stays in the plan, its buttons within reach.
    left = std::max(0, std::min(left, planWidth_ - kDeskPanelWidth));
    top = std::max(0, std::min(top, planHeight_ - kDeskPanelHeight));
  }
  plan_[desk].left = left;
  plan_[desk].top = top;
}

void ConsoleModel::EndDeskMove(int desk, int startLeft, int startTop) {
  if (!ValidDesk(desk) || !DesksMovable()) return;
  if (plan_[desk].left != startLeft || plan_[desk].top != startTop) room_.ClassroomChanged = 1;
}

}  // namespace console
