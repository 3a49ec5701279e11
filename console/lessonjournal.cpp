// The lesson journal: register changes to events, events to CSV lines.
#include "console/lessonjournal.h"

#include <cstdio>

#include "console/csvfield.h"

namespace console {

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kSecondsPerDay = 86400;

int64_t LocalSeconds(Moment at) {
  // Floor division: a moment before 1970 still falls in its own second.
  int64_t seconds = at.ms / kMsPerSecond;
  if (at.ms % kMsPerSecond < 0) --seconds;
  return seconds + at.utcOffsetSeconds;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = FloorDiv(days, 146097);
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

const char* KindText(LessonEventKind kind) {
  switch (kind) {
    case LessonEventKind::ConsoleStarted:
      return "консоль запущена";
    case LessonEventKind::ConsoleClosed:
      return "консоль закрыта";
    case LessonEventKind::NewLesson:
      return "новый урок";
    case LessonEventKind::RoundStarted:
      return "обход начат";
    case LessonEventKind::RoundStopped:
      return "обход завершён";
    case LessonEventKind::CallLit:
      return "вызов";
    case LessonEventKind::CallAnswered:
      return "вызов принят";
    case LessonEventKind::CallEnded:
      return "вызов завершён";
    case LessonEventKind::ListenStarted:
      return "прослушивание начато";
    case LessonEventKind::ListenEnded:
      return "прослушивание завершено";
    case LessonEventKind::SpeakStarted:
      return "разговор начат";
    case LessonEventKind::SpeakEnded:
      return "разговор завершён";
    case LessonEventKind::PairJoined:
      return "в паре со столом";
    case LessonEventKind::PairParted:
      return "пара разъединена";
    case LessonEventKind::LineOn:
      return "подключён к линии";
    case LessonEventKind::LineOff:
      return "отключён от линии";
  }
  return "";
}

const char* DurationWord(LessonEventKind kind) {
  switch (kind) {
    case LessonEventKind::CallAnswered:
      return "ожидание";
    case LessonEventKind::CallEnded:
      return "длился";
    default:
      return "длилось";
  }
}

// The desk's number, not its caption: the column sorts, and a caption
// ("Стол 5") would repeat the column's name.
std::string NumberOf(int desk) {
  return desk >= 0 && desk < kDeskCount ? std::to_string(desk + 1) : std::string();
}

}  // namespace

std::string ClockText(Moment at) {
  const int64_t secondOfDay =
      LocalSeconds(at) - FloorDiv(LocalSeconds(at), kSecondsPerDay) * kSecondsPerDay;
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
  return text;
}

std::string DateText(Moment at) {
  int year = 0, month = 0, day = 0;
  CivilFromDays(FloorDiv(LocalSeconds(at), kSecondsPerDay), year, month, day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

std::string DurationText(int64_t ms) {
  const int64_t seconds = ms < 0 ? 0 : ms / kMsPerSecond;
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(seconds / 60),
                  static_cast<int>(seconds % 60));
  }
  return text;
}

std::string EventText(const LessonEvent& event) {
  std::string text = KindText(event.kind);
  if (event.kind == LessonEventKind::PairJoined) text += " " + NumberOf(event.desk ^ 1);
  if (event.durationMs >= 0 && event.kind != LessonEventKind::PairJoined) {
    text += std::string(", ") + DurationWord(event.kind) + " " + DurationText(event.durationMs);
  }
  return text;
}

std::string JournalLine(const LessonEvent& event,
                        const std::array<DeskPlanEntry, kDeskCount>& plan) {
  const bool ofDesk = event.desk >= 0 && event.desk < kDeskCount;
  return ClockText(event.at) + ";" + NumberOf(event.desk) + ";" +
         CsvField(ofDesk ? plan[event.desk].studentName : std::string()) + ";" +
         CsvField(EventText(event)) + "\r\n";
}

LessonJournal::LessonJournal(ConsoleModel& model, LessonClock clock, std::string folder,
                             std::string nameTag)
    : model_(model), clock_(std::move(clock)), folder_(std::move(folder)),
      nameTag_(std::move(nameTag)) {
  record_.Begin(ReadDeskStates(model_.room().SwitchState, CallingMask()), clock_());
  model_.AddObserver(this);
}

LessonJournal::~LessonJournal() { model_.RemoveObserver(this); }

uint16_t LessonJournal::CallingMask() const {
  uint16_t mask = 0;
  for (const Call& call : model_.calls()) {
    if (call.desk >= 0 && call.desk < kDeskCount) mask |= static_cast<uint16_t>(1u << call.desk);
  }
  return mask;
}

void LessonJournal::RegistersChanged(const SwitchRegisters&, const SwitchRegisters& after) {
  // Compared with the record's own last states, not `before`: a poll report
  // taken inside an operation reaches here before the operation's own change.
  for (const LessonEvent& event : record_.Update(ReadDeskStates(after, CallingMask()), clock_())) {
    Write(event);
  }
}

void LessonJournal::ConsoleClosed() {
  Note(LessonEventKind::ConsoleClosed);
  record_.Finish(clock_());
  file_.Close();
}

void LessonJournal::NewLesson() {
  const Moment at = clock_();
  record_.Finish(at);
  record_.Begin(ReadDeskStates(model_.room().SwitchState, CallingMask()), at);
  Write(record_.Note(LessonEventKind::NewLesson, at));
}

void LessonJournal::Note(LessonEventKind kind) { Write(record_.Note(kind, clock_())); }

void LessonJournal::Write(const LessonEvent& event) {
  if (!problem_.empty()) return;
  if (!file_.isOpen() && !OpenFile(event.at)) return;
  if (!file_.Append(JournalLine(event, model_.plan()))) Fail("запись не удалась", path_);
}

bool LessonJournal::OpenFile(Moment at) {
  const std::string path = folder_ + "lessons/" + DateText(at) + nameTag_ + ".csv";
  bool empty = false;
  switch (file_.Open(path, empty)) {
    case platform::AppendOpenStatus::Ok:
      break;
    case platform::AppendOpenStatus::FolderMissing:
      Fail("не удалось создать папку lessons, или это не папка пользователя", path);
      return false;
    case platform::AppendOpenStatus::NotAFile:
      Fail("на месте файла ссылка или не файл", path);
      return false;
    case platform::AppendOpenStatus::NotOwned:
      Fail("файл принадлежит другому пользователю", path);
      return false;
    case platform::AppendOpenStatus::Failed:
      Fail("файл не открывается для записи", path);
      return false;
  }
  path_ = path;
  if (empty && !file_.Append(kJournalHeader)) {
    Fail("запись не удалась", path_);
    return false;
  }
  return true;
}

void LessonJournal::Fail(const std::string& why, const std::string& path) {
  file_.Close();
  problem_ = "Журнал урока не записывается (" + why + "): " + path;
  if (problemListener_) problemListener_(problem_);
}

}  // namespace console
