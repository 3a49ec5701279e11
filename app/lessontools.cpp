// The lesson tools, wired to the Qt-free round, timer, arrangements and
// class lists.
#include "app/lessontools.h"

#include <QDateTime>

#include <QApplication>
#include <QFileInfo>

#include "app/classlistdialog.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "config/settingsload.h"
#include "console/arrangements.h"
#include "console/classlist.h"
#include "platform/system.h"

namespace {

// A class list is a page of names; anything larger is not one.
constexpr qint64 kMaxListBytes = 1024 * 1024;
const QString kCaption = QStringLiteral("Vormik");

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

LessonTools::LessonTools(console::ConsoleModel& model, Prompter& prompter,
                         std::string settingsPath, Wiring wiring)
    : model_(model),
      prompter_(prompter),
      settingsPath_(std::move(settingsPath)),
      wiring_(std::move(wiring)) {
  clock_.start();
  const console::MillisecondClock clock = [this] { return clock_.elapsed(); };
  round_ = std::make_unique<console::MonitoringRound>(model_, clock, ReadRoundSeconds());
  timer_ = std::make_unique<console::LessonTimer>(model_, clock);
  model_.AddObserver(this);
  ticker_.setInterval(kTickMs);
  connect(&ticker_, &QTimer::timeout, this, &LessonTools::Tick);
  ticker_.start();
}

LessonTools::~LessonTools() { model_.RemoveObserver(this); }

int LessonTools::ReadRoundSeconds() const {
  return settings::ReadRoundSeconds(settings::LoadSettings(settingsPath_).document);
}

// ---------------------------------------------------------------------------
// Round and timer

void LessonTools::Tick() {
  if (ticking_) return;
  ticking_ = true;
  operated_ = false;
  round_->Tick();
  const console::TimerEvent event = timer_->Tick();
  // The warning sounds only where the teacher asked for sounds.
  if (event == console::TimerEvent::WarningBegan && wiring_.callSoundOn()) QApplication::beep();
  if (operated_) wiring_.apply([](console::ConsoleModel&) {});
  emit statusChanged();
  ticking_ = false;
}

void LessonTools::StartPauseResumeRound() {
  if (round_->state() == console::RoundState::Stopped) {
    // The setting may have changed since the last round.
    round_->SetStepSeconds(ReadRoundSeconds());
  }
  messages_.ShowToolResult({}, QDateTime::currentMSecsSinceEpoch());
  wiring_.apply([this](console::ConsoleModel&) { round_->StartPauseResume(); });
  emit statusChanged();
}

void LessonTools::StopRound() {
  round_->Stop();
  emit statusChanged();
}

void LessonTools::StartTimer(int minutes, console::TimerEndAction action) {
  if (!timer_->Start(minutes, action)) {
    Warn(QStringLiteral("Таймер ставится на 1–90 минут."));
    return;
  }
  lastTimerMinutes_ = minutes;
  lastTimerAction_ = action;
  emit statusChanged();
}

void LessonTools::StopTimer() {
  if (timer_->Running()) Say(QStringLiteral("Таймер остановлен."));
  timer_->Stop();
  emit statusChanged();
}

QString LessonTools::roundText() const {
  const console::RoundStatus round = round_->Status();
  return round.text.empty()
             ? Utf8(messages_.ToolResult(QDateTime::currentMSecsSinceEpoch()))
             : Utf8(round.text);
}

QString LessonTools::timerText() const { return Utf8(timer_->Status().text); }

bool LessonTools::timerWarning() const { return timer_->Status().red; }

void LessonTools::Say(const QString& text) {
  const int64_t now = QDateTime::currentMSecsSinceEpoch();
  messages_.ShowToolResult(text.toStdString(), now);
  // Gone after its while; a later result restarts the count, so the check
  // then finds it still shown and leaves it.
  QTimer::singleShot(static_cast<int>(console::StatusMessages::kToolResultShownMs) + 1, this,
                     [this] { emit statusChanged(); });
  emit statusChanged();
}

void LessonTools::NoteLinkState(const QString& text) {
  messages_.SetLinkState(text.toStdString(), QDateTime::currentMSecsSinceEpoch());
}

QStringList LessonTools::LessonMessages() const {
  QStringList lines;
  for (const console::StatusEntry& entry : messages_.History()) {
    lines << QDateTime::fromMSecsSinceEpoch(entry.atMs).toString(QStringLiteral("HH:mm:ss")) +
                 QStringLiteral("  ") + Utf8(entry.text);
  }
  return lines;
}

void LessonTools::Warn(const QString& text) {
  prompter_.ShowMessage(kCaption, text, QMessageBox::Warning);
}

// ---------------------------------------------------------------------------
// Arrangements

std::vector<classroom::Arrangement> LessonTools::Arrangements() const {
  const std::string path = model_.ClassroomFilePath();
  if (path.empty()) return {};
  return classroom::ReadArrangements(ini::IniDocument::Load(path));
}

QString LessonTools::SaveArrangement(const QString& name) {
  const std::string path = model_.ClassroomFilePath();
  QString problem;
  if (path.empty()) {
    problem = QStringLiteral(
        "Кабинет ещё не сохранён в файл. Сохраните его (F12), "
        "затем сохраните расстановку.");
  } else {
    const classroom::Arrangement arrangement =
        console::CaptureArrangement(model_, name.trimmed().toStdString());
    problem = Utf8(classroom::SaveArrangementToFile(path, arrangement));
  }
  if (!problem.isEmpty()) {
    Warn(problem);
    return problem;
  }
  Say(QStringLiteral("Расстановка «%1» сохранена.").arg(name.trimmed()));
  return {};
}

void LessonTools::ApplyArrangement(const classroom::Arrangement& arrangement) {
  console::ArrangementOutcome outcome;
  wiring_.apply(
      [&](console::ConsoleModel& m) { outcome = console::ApplyArrangement(m, arrangement); });
  Say(Utf8(outcome.text));
}

// ---------------------------------------------------------------------------
// Class lists

bool LessonTools::ImportClassList(const QString& path, bool preview) {
  const QFileInfo info(path);
  if (!info.isFile()) {
    Warn(QStringLiteral("Файл «%1» не найден или это не файл.").arg(path));
    return false;
  }
  if (info.size() > kMaxListBytes) {
    Warn(QStringLiteral("Файл «%1» слишком большой для списка класса (больше 1 МБ).").arg(path));
    return false;
  }
  std::string bytes;
  if (!platform::ReadWholeFile(path.toStdString(), bytes)) {
    Warn(QStringLiteral("Файл «%1» не удалось прочитать.").arg(path));
    return false;
  }
  const std::vector<std::string> names = console::ParseNameList(console::DecodeListBytes(bytes));
  if (names.empty()) {
    Warn(QStringLiteral("В файле «%1» нет ни одного имени.").arg(path));
    return false;
  }
  const std::vector<console::ImportRow> rows =
      console::PlanNameImport(names, model_.plan());
  if (preview) {
    ClassListDialog dialog(rows, model_.plan(), dialogParent_);
    if (dialog.exec() != QDialog::Accepted) return false;
  }
  int imported = 0;
  wiring_.apply([&](console::ConsoleModel& m) { imported = console::ImportNames(m, rows); });
  Say(QStringLiteral("Список класса: вписано имён — %1 из %2.").arg(imported).arg(names.size()));
  return imported > 0;
}

bool LessonTools::ExportClassList(const QString& path) {
  if (!platform::ReplaceFileAtomically(path.toStdString(),
                                       console::ExportNamesCsv(model_.plan()))) {
    Warn(QStringLiteral("Не удалось записать файл «%1».").arg(path));
    return false;
  }
  Say(QStringLiteral("Список класса выгружен в «%1».").arg(QFileInfo(path).fileName()));
  return true;
}
