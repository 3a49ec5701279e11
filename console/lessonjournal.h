// The lesson journal: follows the console model, keeps the lesson's record
// and appends each event as one line to lessons/YYYY-MM-DD.csv beside the
// settings file, at once, so that another program (or what is left after a
// crash) reads whole lines.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "console/consolemodel.h"
#include "console/consoleobserver.h"
#include "console/lessonrecord.h"
#include "platform/appendfile.h"

namespace console {

using LessonClock = std::function<Moment()>;

// "14:05:09" and "2026-12-07" of a moment, as the teacher's clock showed it.
std::string ClockText(Moment at);
std::string DateText(Moment at);
// "0:07", "12:30", "1:02:03".
std::string DurationText(int64_t ms);
// The event column of a journal line, in Russian.
std::string EventText(const LessonEvent& event);
// The whole line (with CR LF) as the journal writes it.
std::string JournalLine(const LessonEvent& event,
                        const std::array<DeskPlanEntry, kDeskCount>& plan);

// "1–4, 7, 9" of desk indexes, in desk order.
std::string DeskNumbersText(std::vector<int> desks);
// The journal's lines of one change (one teacher command, one poll report):
// an event of one desk keeps its row; events that several desks share are
// one row for the change, said for them all ("все столы: на линию").
std::string ChangeLines(const std::vector<LessonEvent>& events,
                        const std::array<DeskPlanEntry, kDeskCount>& plan);

inline constexpr char kJournalHeader[] =
    "\xEF\xBB\xBF\xD0\x92\xD1\x80\xD0\xB5\xD0\xBC\xD1\x8F;"
    "\xD0\xA1\xD1\x82\xD0\xBE\xD0\xBB;"
    "\xD0\xA3\xD1\x87\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xBA;"
    "\xD0\xA1\xD0\xBE\xD0\xB1\xD1\x8B\xD1\x82\xD0\xB8\xD0\xB5\r\n";

class LessonJournal : public ConsoleObserver {
 public:
  // Follows the model from now on (and stops when destroyed); the journal's
  // file lies in `folder` (the settings file's folder, with its separator).
  // `nameTag` follows the date in the file's name (" учебный класс" for the
  // practice class), so such a journal is never taken for a lesson's.
  LessonJournal(ConsoleModel& model, LessonClock clock, std::string folder,
                std::string nameTag = "");
  ~LessonJournal() override;
  LessonJournal(const LessonJournal&) = delete;
  LessonJournal& operator=(const LessonJournal&) = delete;

  void ConsoleStarted() { Note(LessonEventKind::ConsoleStarted); }
  // Writes the closing line and ends the lesson's activities.
  void ConsoleClosed();
  // The counts start afresh; the journal gets a "новый урок" line.
  void NewLesson();
  // For the monitoring round: its start and its end as journal lines. While
  // `stepping` says a step is being taken, the listening it changes is the
  // round's: the closing line names the desks, no step has a line of its own.
  void RoundStarted(std::function<bool()> stepping = {});
  void RoundStopped();

  void RegistersChanged(const SwitchRegisters& before, const SwitchRegisters& after) override;

  const LessonRecord& record() const { return record_; }
  Moment Now() const { return clock_(); }
  // The journal's file once a line was written to it ("" before).
  const std::string& path() const { return path_; }
  // Why the journal stopped being written, in Russian; "" while it is.
  const std::string& problem() const { return problem_; }
  // Told once, when the journal first fails.
  void SetProblemListener(std::function<void(const std::string&)> listener) {
    problemListener_ = std::move(listener);
  }

 private:
  uint16_t CallingMask() const;
  void Note(LessonEventKind kind);
  void Write(const LessonEvent& event);
  void WriteLines(Moment at, const std::string& lines);
  // The events of a round's step taken out, its desk remembered.
  std::vector<LessonEvent> WithoutRoundStep(std::vector<LessonEvent> events);
  bool OpenFile(Moment at);
  void Fail(const std::string& why, const std::string& path);

  ConsoleModel& model_;
  LessonClock clock_;
  std::string folder_;
  std::string nameTag_;
  LessonRecord record_;
  platform::AppendFile file_;
  std::string path_;
  std::string problem_;
  std::function<void(const std::string&)> problemListener_;
  std::function<bool()> roundStepping_;
  bool roundActive_ = false;
  Moment roundStart_;
  std::vector<int> roundDesks_;
};

}  // namespace console
