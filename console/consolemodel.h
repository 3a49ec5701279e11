// The console model: the one record of what the console knows (the
// acknowledged register copy, the classroom plan, the selected desk, the
// names being edited, the changed flag) and the operations a teacher starts.
// Free of Qt; it reaches the controller through the link layer and the
// person through ConsoleUser.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "config/classroomplan.h"
#include "console/classroomstate.h"
#include "console/consoleobserver.h"
#include "console/consoleuser.h"
#include "console/display.h"
#include "console/privacyguard.h"
#include "link/transmit.h"

namespace console {

// A save refused before anything was written (a name the file cannot hold,
// a file there that cannot be read); what() says why, in Russian.
class SaveRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the model finds its files.
struct ConsolePaths {
  std::string settingsPath;    // vormik.ini
  std::string executablePath;  // the save dialog starts beside it
};

class ConsoleModel {
 public:
  // probe: one probe frame, true when the controller answered.
  ConsoleModel(ClassroomState& room, FrameSender& sender, std::function<bool()> probe,
               ConsoleUser& user, ConsolePaths paths);

  // ---- What the window draws. ----
  ConsoleDisplay Display() const;
  const ClassroomState& room() const { return room_; }
  ClassroomState& room() { return room_; }
  const std::array<DeskPlanEntry, kDeskCount>& plan() const { return plan_; }
  int selectedDesk() const { return selected_; }
  bool classroomChanged() const { return room_.ClassroomChanged != 0; }
  // "Vormik (<classroom file>)"; "Vormik (новый кабинет)" for a plan made
  // here that has no file yet.
  std::string WindowTitle() const;
  const std::string& classroomFile() const { return classroomFile_; }
  // False while the settings name no classroom file ("***" or nothing).
  bool HasClassroomFile() const { return !classroomFile_.empty() && classroomFile_ != "***"; }
  // The current classroom file as loads and saves reach it; "" without one.
  std::string ClassroomFilePath() const {
    return HasClassroomFile() ? ResolveClassroomPath(classroomFile_) : std::string();
  }
  // Bit i set when desk index i's panel is shown.
  uint16_t VisibleDesksMask() const;
  bool DesksMovable() const { return room_.MoveDesks != 0; }

  // ---- Selection and student names. ----
  void SelectDesk(int desk);
  // A press on a desk panel: selects it and ends name editing.
  void PressOnDesk(int desk);
  // Leaves editing in every name box, keeping what was typed: the box lost
  // its focus (a click elsewhere, Tab, another desk's control).
  void EndNameEditing();
  // One box lost its focus: it leaves editing, keeping what was typed.
  void FinishNameEditing(int desk);
  // Escape: the box leaves editing and its name stays as it was.
  void CancelNameEditing(int desk);
  // A double click: every other edit is kept and closed, this box opens.
  void BeginNameEditing(int desk);
  // Enter: opens a box in display, confirms a box being edited.
  void PressEnterInName(int desk);
  // The text of a box being edited, as typed, fitted to what a classroom file
  // keeps (classroom::FitStudentName); ignored for a box not in editing.
  void TypeName(int desk, const std::string& text);
  bool EditingName(int desk) const { return ((editingMask_ >> desk) & 1) != 0; }

  // ---- Listening, speaking, LEDs. ----
  void ListenTo(int desk);
  void StopListening(int desk);
  // The listen button: listen when it shows up, stop when it shows down.
  void ToggleListening(int desk);
  void SpeakTo(int desk);
  void StopSpeaking(int desk);
  void ToggleSpeaking(int desk);
  // The desk's LED button: switches a lit LED off, does nothing to a dark one.
  void PressLedButton(int desk);
  // The LED of the selected desk.
  void SwitchSelectedLed(bool on);

  // ---- Pairs and line. ----
  // The line button, acting as its caption says (NextLineClick).
  void PressLineButton(int desk);
  // The desk menu's entries do what they say, whatever the caption.
  // Joins the desk with its partner; a joined pair stays as it is.
  void JoinPair(int desk);
  // Parts a joined pair; nothing for a desk not joined.
  void PartPair(int desk);
  // Puts the desk on the line; without a signal on the line it says so.
  void PutOnLine(int desk);
  // Takes the desk off the line; nothing for a desk not on it.
  void TakeOffLine(int desk);

  // ---- Teacher panel. ----
  void ToggleInput();
  void ToggleLine();
  void ToggleInputToLine();

  // ---- All desks. ----
  void ResetAll();
  void AllToLine();
  void AllInPairs();
  void AllLedsOff();

  // ---- The poll and the students' calls. ----
  // The desks whose LED changed, in desk order. A desk whose LED the poll
  // finds newly lit calls the teacher; a dark LED ends its call.
  std::vector<IndicatorChange> ApplyIndicators(uint8_t statusHigh, uint8_t statusLow);
  const std::vector<Call>& calls() const { return calls_; }
  // The clock calls are stamped with (seconds since 1970); tests set their own.
  void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }

  // ---- Plan and classroom files. ----
  // Puts a desk on the plan (the window's designed layout before any load).
  void PlaceDesk(int desk, int left, int top, bool visible);
  // The area desks are dragged in; 0 x 0 leaves drags unbounded.
  void SetPlanArea(int width, int height);
  // Moves a dragged desk panel, kept inside the plan area (only while desks
  // may be moved).
  void MoveDesk(int desk, int left, int top);
  // A drag ended: any change of position marks the plan as changed.
  void EndDeskMove(int desk, int startLeft, int startTop);
  // Reads the labels and link codes from the settings and the plan of the
  // classroom file they name. A file that does not load as a classroom is
  // refused with a message; the plan and the current file stay as they were.
  void LoadClassroom();
  // Writes the plan into the current classroom file; throws ini::WriteError
  // when the write failed (or there is no current file), SaveRefused when it
  // was not tried.
  void SaveClassroom();
  // The same, the error shown, not thrown.
  void SaveClassroomShowingErrors();
  // "Сохранить": the current file without a dialog; save as when there is none.
  // False when nothing was saved (cancelled, or failed with its message shown).
  bool SaveCurrentClassroom();
  // Asks for a file and saves the plan into it; only a saved file becomes the
  // current one. False when cancelled (nothing written) or failed (message shown).
  bool SaveClassroomAs();
  // Offers to save a changed plan, asks for a file and opens it; a cancel at
  // either step changes nothing.
  void OpenClassroom();
  // Opens `path` as the open command does with a chosen file: only a file
  // that loads as a classroom becomes the current one and replaces the plan;
  // false (message shown) when it was refused.
  bool OpenClassroomFile(const std::string& path);
  // Offers to save a changed plan, asks, resets the controller (when it
  // answers) and lays out the standard classroom as a new plan without a file.
  void CreateStandardClassroom();
  // Closing: offers to save a changed plan ("Да", "Нет", "Отмена"); false
  // when the close must not go on (cancelled, or the save failed).
  bool ConfirmClose();

  // ---- The controller. ----
  // The probe frame; on an answer the copy loses the LedA bits the probe
  // cleared in the controller. True when the controller answered.
  bool Probe();
  // The controller answers again after not answering: the copy is written
  // to it, every register, so the class goes on as it was. Inside another
  // operation it runs when that one ends.
  void ControllerReturned();
  // Reads the controller's LED report (one poll) before the copy is written
  // back, so that a call made while the link was down is kept; nullopt when
  // no valid report came. Without a reader the copy is written as it is.
  using IndicatorReader = std::function<std::optional<std::pair<uint8_t, uint8_t>>()>;
  void SetIndicatorReader(IndicatorReader reader) { readIndicators_ = std::move(reader); }

  // Whether an operation is running (a dialog inside it may run events).
  bool Busy() const { return busy_; }
  // The last operation stopped at a request the controller did not
  // acknowledge (the teacher answered "Нет"); nothing of it was sent after.
  bool LastOperationRefused() const { return guard_.Refused(); }
  const PrivacyGuard& privacyGuard() const { return guard_; }

  // ---- The monitoring round. ----
  // A listen made by the round, not by the teacher: it answers no call.
  void ListenForRound(int desk);
  // Desks the round listens to now (both of a joined pair); cleared by the
  // teacher's next operation.
  uint16_t RoundHeardDesks() const { return roundHeard_; }

  // ---- Observers (the lesson tools). Not owned; removed before they die. ----
  void AddObserver(ConsoleObserver* observer);
  void RemoveObserver(ConsoleObserver* observer);

 private:
  class Operation;
  // Runs body(display as it stands) as one operation on a desk: ends name
  // editing and selects the desk first. Nothing runs inside another operation.
  template <typename Body>
  void OnDesk(int desk, Body body);
  // The same for the teacher panel and the all-desks commands.
  template <typename Body>
  void OnTeacher(Body body);
  void ActOnLine(int desk, LineClick click, const ConsoleDisplay& shown);
  void ConnectToLine(int desk);
  void Join(int desk, const ConsoleDisplay& shown);
  void Part(int desk);
  // Whether the teacher's "Линия" is meant to be on: down, or down when the
  // private talk now going on began (it comes back when the talk ends).
  bool TeacherLineWanted(const ConsoleDisplay& shown) const;
  bool SpokenTo(int desk) const;
  // LineConnect, unless the teacher speaks to the desk: then it is only
  // remembered, and goes on the line when the talk ends.
  void PutBackOnLine(int desk);
  void RestoreController();
  // Lights in the copy every LED the report shows lit (a call made while the
  // link was down); a dark report puts out nothing here.
  void KeepReportedCalls(uint8_t statusHigh, uint8_t statusLow);
  bool Send(int requestType, int desk, bool sourceOn = false, bool deskOn = false);
  int ListenedDesk(const ConsoleDisplay& shown) const;
  void ReconnectIfSpokenTo(int desk, const ConsoleDisplay& shown);
  void ReconnectSpokenDesks(const ConsoleDisplay& shown);
  void ReleaseOtherDesks(int desk, const ConsoleDisplay& shown);
  void ForgetLinePlaces(uint16_t desks);
  void ReturnDesksNoLongerSpokenTo();
  void DisconnectAllFromLine();
  void DropEndedCalls();
  std::string ResolveClassroomPath(const std::string& name) const;
  bool OfferToSaveChanges();
  void SavePlanInto(const std::string& path, const std::string& shownName);
  void ApplyLoadedPlan(const classroom::ClassroomPlan& plan);
  bool StoreClassroomFile(const std::string& path);
  bool RefusedAsUnstorable(const std::string& path);
  void ShowWriteError(const std::string& what);
  void NotifyOperationStarting();
  void NotifyRegistersChanged(const SwitchRegisters& before);

  ClassroomState& room_;
  PrivacyGuard guard_;
  std::function<bool()> probe_;
  ConsoleUser& user_;
  ConsolePaths paths_;

  std::array<DeskPlanEntry, kDeskCount> plan_;
  std::array<std::string, kDeskCount> editedNames_;
  uint16_t editingMask_ = 0;
  uint16_t spokenOffLineMask_ = 0;
  // "Линия" was down when the private talk going on began.
  bool lineBeforeTalk_ = false;
  bool restorePending_ = false;
  int selected_ = 0;
  std::string classroomFile_ = "***";
  bool busy_ = false;
  // The operation under way is the round's step or the copy's write-back,
  // not the teacher's: it does not pause the round.
  bool quietOperation_ = false;
  bool roundStep_ = false;
  uint16_t roundHeard_ = 0;
  std::vector<Call> calls_;
  std::function<int64_t()> clock_;
  IndicatorReader readIndicators_;
  int planWidth_ = 0;
  int planHeight_ = 0;
  std::vector<ConsoleObserver*> observers_;
};

}  // namespace console
