// The lesson journal: register changes to events, events to CSV lines.
#include "console/lessonjournal.h"

#include <algorithm>
#include <cstdio>

#include "console/csvfield.h"

namespace console {

namespace {

constexpr int64_t kMsPerSecond = 1000;
// A write that did not reach the file whole (taken back: no cut line stays).
constexpr char kWriteFailed[] = "запись не удалась: диск заполнен или нет доступа";
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

// What several desks did at once, said for them all; where the words for one
// desk fit many, they are those.
const char* GroupText(LessonEventKind kind) {
  switch (kind) {
    case LessonEventKind::PairJoined:
      return "в пары";
    case LessonEventKind::PairParted:
      return "пары разъединены";
    case LessonEventKind::LineOn:
      return "на линию";
    case LessonEventKind::LineOff:
      return "сняты с линии";
    default:
      return KindText(kind);
  }
}

// "все столы" when the desks are every visible one, else "столы 1–4, 7".
std::string WhichDesks(const std::vector<int>& desks,
                       const std::array<DeskPlanEntry, kDeskCount>& plan) {
  int visible = 0, covered = 0;
  for (int d = 0; d < kDeskCount; ++d) {
    if (!plan[d].visible) continue;
    ++visible;
    if (std::find(desks.begin(), desks.end(), d) != desks.end()) ++covered;
  }
  if (visible > 1 && covered == visible) return "все столы";
  return "столы " + DeskNumbersText(desks);
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

std::string DeskNumbersText(std::vector<int> desks) {
  std::sort(desks.begin(), desks.end());
  desks.erase(std::unique(desks.begin(), desks.end()), desks.end());
  std::string text;
  for (size_t i = 0; i < desks.size();) {
    size_t last = i;
    while (last + 1 < desks.size() && desks[last + 1] == desks[last] + 1) ++last;
    if (!text.empty()) text += ", ";
    text += NumberOf(desks[i]);
    // Two neighbours are listed, three and more are a range.
    if (last == i + 1) text += ", " + NumberOf(desks[last]);
    if (last > i + 1) text += "–" + NumberOf(desks[last]);
    i = last + 1;
  }
  return text;
}

std::string ChangeLines(const std::vector<LessonEvent>& events,
                        const std::array<DeskPlanEntry, kDeskCount>& plan) {
  std::vector<LessonEventKind> kinds;
  for (const LessonEvent& e : events) {
    if (std::find(kinds.begin(), kinds.end(), e.kind) == kinds.end()) kinds.push_back(e.kind);
  }
  std::string lines, shared;
  Moment sharedAt;
  std::vector<int> sharedDesks;
  size_t sharedAtLine = std::string::npos;  // where the shared row goes among the others
  for (LessonEventKind kind : kinds) {
    std::vector<const LessonEvent*> ofKind;
    for (const LessonEvent& e : events) {
      if (e.kind == kind) ofKind.push_back(&e);
    }
    if (ofKind.size() == 1 || ofKind.front()->desk < 0) {
      for (const LessonEvent* e : ofKind) lines += JournalLine(*e, plan);
      continue;
    }
    std::vector<int> desks;
    for (const LessonEvent* e : ofKind) desks.push_back(e->desk);
    if (sharedAtLine == std::string::npos) {
      sharedAtLine = lines.size();
      sharedAt = ofKind.front()->at;
    }
    // Not "; ": the field stays unquoted in the CSV.
    if (!shared.empty()) shared += " / ";
    shared += WhichDesks(desks, plan) + ": " + GroupText(kind);
    sharedDesks.insert(sharedDesks.end(), desks.begin(), desks.end());
  }
  if (sharedAtLine != std::string::npos) {
    lines.insert(sharedAtLine, ClockText(sharedAt) + ";" + CsvField(DeskNumbersText(sharedDesks)) +
                                   ";;" + CsvField(shared) + "\r\n");
  }
  return lines;
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
  const Moment at = clock_();
  DeskStates now = ReadDeskStates(after, CallingMask());
  now.roundHeard = model_.RoundHeardDesks();
  const std::vector<LessonEvent> events =
      WithoutRoundStep(record_.Update(now, at));
  if (!events.empty()) WriteLines(at, ChangeLines(events, model_.plan()));
}

std::vector<LessonEvent> LessonJournal::WithoutRoundStep(std::vector<LessonEvent> events) {
  if (!roundActive_ || !roundStepping_ || !roundStepping_()) return events;
  std::vector<LessonEvent> kept;
  for (const LessonEvent& e : events) {
    const bool listening = e.kind == LessonEventKind::ListenStarted ||
                           e.kind == LessonEventKind::ListenEnded ||
                           e.kind == LessonEventKind::CallAnswered;
    if (!listening) kept.push_back(e);
    if (e.kind == LessonEventKind::ListenStarted &&
        std::find(roundDesks_.begin(), roundDesks_.end(), e.desk) == roundDesks_.end())
      roundDesks_.push_back(e.desk);
  }
  return kept;
}

void LessonJournal::RoundStarted(std::function<bool()> stepping) {
  roundStepping_ = std::move(stepping);
  roundActive_ = true;
  roundStart_ = clock_();
  roundDesks_.clear();
  Note(LessonEventKind::RoundStarted);
}

void LessonJournal::RoundStopped() {
  const Moment at = clock_();
  const LessonEvent event = record_.Note(LessonEventKind::RoundStopped, at);
  std::string text = EventText(event);
  if (roundActive_) {
    text += ", длился " + DurationText(at.ms - roundStart_.ms);
    if (!roundDesks_.empty()) text += ", прослушаны столы " + DeskNumbersText(roundDesks_);
  }
  roundActive_ = false;
  roundStepping_ = nullptr;
  WriteLines(at, ClockText(at) + ";;;" + CsvField(text) + "\r\n");
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
  WriteLines(event.at, JournalLine(event, model_.plan()));
}

void LessonJournal::WriteLines(Moment at, const std::string& lines) {
  if (!problem_.empty()) return;
  if (!file_.isOpen() && !OpenFile(at)) return;
  if (!file_.Append(lines)) Fail(kWriteFailed, path_);
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
  // A line cut by a crash or a full disk is left as it is; this start's
  // lines begin on a line of their own.
  const bool cut = !empty && file_.EndsMidRecord('\n');
  if ((empty && !file_.Append(kJournalHeader)) || (cut && !file_.Append("\r\n"))) {
    Fail(kWriteFailed, path_);
    return false;
  }
  return true;
}

void LessonJournal::Fail(const std::string& why, const std::string& path) {
  file_.Close();
  problem_ = "Журнал урока остановлен, события больше не записываются (" + why + "): " + path;
  if (problemListener_) problemListener_(problem_);
}

}  // namespace console
