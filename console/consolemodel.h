// The console model: the one record of what the console knows (the
// acknowledged register copy, the classroom plan, the selected desk, the
// names being edited, the changed flag) and the operations a teacher starts.
// Free of Qt; it reaches the controller through the link layer and the
// person through ConsoleUser.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/classroomstate.h"
#include "console/consoleobserver.h"
#include "console/consoleuser.h"
#include "console/display.h"
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
  // "Vormik (<classroom file>)".
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
  // Leaves editing in every name box, discarding what was typed.
  void EndNameEditing();
  // A double click: every other edit is discarded, this box opens.
  void BeginNameEditing(int desk);
  // Enter: opens a box in display, confirms a box being edited.
  void PressEnterInName(int desk);
  // The text of a box being edited, as typed; ignored for a box not in editing.
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
  // The line button, acting as its caption says.
  void PressLineButton(int desk);
  // The same decision as if the caption read `caption` (the menu's entries).
  void ActOnLine(int desk, LineCaption caption);
  void JoinPair(int desk) { ActOnLine(desk, LineCaption::On); }
  void PartPair(int desk) { ActOnLine(desk, LineCaption::Pair); }
  void PutOnLine(int desk) { ActOnLine(desk, LineCaption::Off); }
  void TakeOffLine(int desk) { ActOnLine(desk, LineCaption::On); }

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
  // current classroom file.
  void LoadClassroom();
  // Writes the plan into the current classroom file; throws ini::WriteError
  // when the write failed, SaveRefused when it was not tried.
  void SaveClassroom();
  // The save command: the write error is shown, not thrown.
  void SaveClassroomShowingErrors();
  // Asks for a file, stores it as the current one and saves; false when the
  // save failed (its message shown). A cancel saves to the current file.
  bool SaveClassroomAs();
  // Asks for a file, stores it as the current one and loads it (a cancel
  // reloads the current file).
  void OpenClassroom();
  // Stores `path` as the current classroom file and loads it, as the open
  // command does with a chosen file; false when it was refused.
  bool OpenClassroomFile(const std::string& path);
  // Asks, resets the controller (when it answers) and lays out the standard classroom.
  void CreateStandardClassroom();
  // Closing: asks to save a changed plan; false when the close must not go on.
  bool ConfirmClose();

  // Whether an operation is running (a dialog inside it may run events).
  bool Busy() const { return busy_; }

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
  void ActOnLine(int desk, LineCaption caption, const ConsoleDisplay& shown);
  bool Send(int requestType, int desk, bool sourceOn = false, bool deskOn = false);
  int ListenedDesk(const ConsoleDisplay& shown) const;
  void ReconnectIfSpokenTo(int desk, const ConsoleDisplay& shown);
  void ReconnectSpokenDesks(const ConsoleDisplay& shown, int skipPair = -1);
  void ReleaseOtherDesks(int desk, const ConsoleDisplay& shown);
  void ForgetLinePlaces(uint16_t desks);
  void ReturnDesksNoLongerSpokenTo();
  void DisconnectAllFromLine();
  void DropEndedCalls();
  std::string ResolveClassroomPath(const std::string& name) const;
  bool StoreClassroomFile(const std::string& path);
  bool RefusedAsUnstorable(const std::string& path);
  void ShowWriteError(const std::string& what);
  void NotifyOperationStarting();
  void NotifyRegistersChanged(const SwitchRegisters& before);

  ClassroomState& room_;
  FrameSender& sender_;
  std::function<bool()> probe_;
  ConsoleUser& user_;
  ConsolePaths paths_;

  std::array<DeskPlanEntry, kDeskCount> plan_;
  std::array<std::string, kDeskCount> editedNames_;
  uint16_t editingMask_ = 0;
  uint16_t spokenOffLineMask_ = 0;
  int selected_ = 0;
  std::string classroomFile_ = "***";
  bool busy_ = false;
  std::vector<Call> calls_;
  std::function<int64_t()> clock_;
  int planWidth_ = 0;
  int planHeight_ = 0;
  std::vector<ConsoleObserver*> observers_;
};

}  // namespace console
