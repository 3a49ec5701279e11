// The lesson tools' window parts and their wiring to the journal.
#include "app/lessonrecordpanel.h"

#include <QAction>
#include <QDateTime>
#include <QDesktopServices>
#include <QUrl>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QTimer>

#include "app/calllogdialog.h"
#include "app/consolecommands.h"
#include "app/lessonreportwriter.h"
#include "app/prompter.h"
#include "app/widgets.h"
#include "config/inifile.h"
#include "console/classlist.h"
#include "console/lessonfiles.h"
#include "console/lessonreport.h"
#include "console/practicefolder.h"
#include "platform/system.h"

namespace {

constexpr char kLessonSection[] = "Lesson";
constexpr char kShowHeardKey[] = "ShowHeardTime";  // 1: the gauges show on the desks
constexpr int kRefreshIntervalMs = 1000;

}  // namespace

LessonRecordPanel::LessonRecordPanel(QWidget* window, console::LessonJournal& journal,
                                     console::ConsoleModel& model, Prompter& prompter,
                                     const std::string& settingsPath,
                                     const ConsoleCommands& commands, bool practice)
    : QObject(window),
      window_(window),
      model_(model),
      prompter_(prompter),
      settingsPath_(settingsPath),
      practice_(practice),
      journal_(&journal) {
  journal_->SetProblemListener(
      [this](const std::string& text) { ShowProblem(QString::fromStdString(text)); });
  BuildMenu(commands);
  tick_ = new QTimer(this);
  tick_->setInterval(kRefreshIntervalMs);
  connect(tick_, &QTimer::timeout, this, &LessonRecordPanel::Refresh);
  ini::IniFile file(settingsPath_);
  SetHeardShown(file.ReadInteger(kLessonSection, kShowHeardKey, 0) != 0);
}

LessonRecordPanel::~LessonRecordPanel() { journal_->SetProblemListener(nullptr); }

void LessonRecordPanel::BuildMenu(const ConsoleCommands& commands) {
  part_ = new QWidget(window_);
  part_->setObjectName(QStringLiteral("LessonRecordPart"));
  auto* row = new QHBoxLayout(part_);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);
  menuButton = NewStripButton(part_, QStringLiteral("LessonMenu"), QStringLiteral("Урок"),
                              QStringLiteral("Журнал вызовов, кого слушали, отчёт об уроке"));
  menuButton->setPopupMode(QToolButton::InstantPopup);
  problemLabel = new QLabel(part_);
  problemLabel->setObjectName(QStringLiteral("LessonProblem"));
  problemLabel->setTextFormat(Qt::PlainText);
  problemLabel->setStyleSheet(QStringLiteral("color: #c00000"));
  problemLabel->hide();
  row->addWidget(menuButton);
  row->addWidget(problemLabel);

  menu = new QMenu(menuButton);
  menu->setObjectName(QStringLiteral("LessonMenuEntries"));
  callLogAction = commands[Command::CallLog];
  showHeardAction = commands[Command::ShowHeard];
  newLessonAction = commands[Command::NewLesson];
  reportAction = commands[Command::Report];
  planAction = commands[Command::PlanPdf];
  menu->addAction(callLogAction);
  menu->addAction(showHeardAction);
  menu->addAction(newLessonAction);
  menu->addSeparator();
  menu->addAction(reportAction);
  menu->addAction(planAction);
  connect(callLogAction, &QAction::triggered, this, &LessonRecordPanel::ShowCallLog);
  connect(newLessonAction, &QAction::triggered, this, &LessonRecordPanel::StartNewLesson);
  connect(reportAction, &QAction::triggered, this, &LessonRecordPanel::SaveReport);
  connect(planAction, &QAction::triggered, this, &LessonRecordPanel::SavePlan);
  connect(showHeardAction, &QAction::triggered, this, [this] {
    // From the tools' own flag: the action's check mark only follows it.
    const bool shown = !heardShown_;
    SetHeardShown(shown);
    try {
      ini::IniFile file(settingsPath_);
      file.WriteInteger(kLessonSection, kShowHeardKey, shown ? 1 : 0);
      file.Flush();
    } catch (const ini::WriteError& error) {
      ShowProblem(QString::fromStdString(error.what()));
    }
  });
  menuButton->setMenu(menu);
}

void LessonRecordPanel::ShowProblem(const QString& text) {
  // The label takes plain text only; a tooltip would read a path as markup.
  problemLabel->setText(QStringLiteral("⚠ ") + text);
  problemLabel->show();
}

void LessonRecordPanel::SetHeardShown(bool shown) {
  heardShown_ = shown;
  showHeardAction->setChecked(shown);
  emit heardShownChanged(shown);
  Refresh();
}

void LessonRecordPanel::Refresh() {
  const console::Moment now = journal_->Now();
  if (heardShown_) {
    emit heardChanged(console::HeardGauges(journal_->record(), now.ms));
  }
  if (callLog_ && callLog_->isVisible()) {
    callLog_->ShowRows(console::CallLogRows(journal_->record(), model_.plan(), now));
  }
  // Running figures move on their own only while something shows them.
  const bool ticking = heardShown_ || (callLog_ && callLog_->isVisible());
  if (ticking && !tick_->isActive()) tick_->start();
  if (!ticking && tick_->isActive()) tick_->stop();
}

void LessonRecordPanel::ShowCallLog() {
  if (!callLog_) callLog_ = new CallLogDialog(window_);
  callLog_->show();
  callLog_->raise();
  Refresh();
}

void LessonRecordPanel::StartNewLesson() {
  journal_->NewLesson();
  Refresh();
}

QString LessonRecordPanel::LessonsFolder(QString& problem) const {
  std::string why;
  const std::string folder = console::LessonsFolder(platform::DirectoryOf(settingsPath_), why);
  problem = QString::fromStdString(why);
  return QString::fromStdString(folder);
}

QString LessonRecordPanel::SaveReport() {
  const console::Moment now = journal_->Now();
  QString error;
  const QString folder = LessonsFolder(error);
  if (folder.isEmpty()) {
    prompter_.ShowMessage(QStringLiteral("Отчёт об уроке"), error, QMessageBox::Warning);
    return {};
  }
  // Named by the class, as its own file is: "5А 2026-12-07 10-45.pdf".
  const std::string classroom = model_.ClassroomFilePath();
  const std::string className = classroom.empty() ? std::string() : console::ClassNameOf(classroom);
  const QString path = folder + QString::fromStdString(console::ClassNameOf(classroom)) +
                       QStringLiteral(" ") + QString::fromStdString(console::DateText(now)) +
                       QStringLiteral(" ") +
                       QDateTime::fromMSecsSinceEpoch(now.ms).toString(QStringLiteral("HH-mm-ss")) +
                       QStringLiteral(".pdf");
  console::LessonRecord record = journal_->record();
  record.Finish(now);
  if (!WriteLessonReport(path, record, model_.plan(), className, now, error, practice_)) {
    prompter_.ShowMessage(QStringLiteral("Отчёт об уроке"), error, QMessageBox::Warning);
    return {};
  }
  if (prompter_.OfferToOpen(QStringLiteral("Отчёт об уроке"),
                            QStringLiteral("Отчёт сохранён:\n%1").arg(path))) {
    // The system's own viewer of PDF files.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
      prompter_.ShowMessage(QStringLiteral("Отчёт об уроке"),
                            QStringLiteral("Не удалось открыть отчёт: в системе нет программы "
                                           "для просмотра PDF.\n%1")
                                .arg(path),
                            QMessageBox::Warning);
  }
  return path;
}

QString LessonRecordPanel::SavePlan() {
  const console::Moment now = journal_->Now();
  QString error;
  const QString folder = LessonsFolder(error);
  if (folder.isEmpty()) {
    prompter_.ShowMessage(QStringLiteral("План кабинета"), error, QMessageBox::Warning);
    return {};
  }
  const QString path = folder + QStringLiteral("plan-") +
                       QString::fromStdString(console::DateText(now)) + QStringLiteral(".pdf");
  if (!WritePlanPage(path, model_.plan(), now, error)) {
    prompter_.ShowMessage(QStringLiteral("План кабинета"), error, QMessageBox::Warning);
    return {};
  }
  prompter_.ShowMessage(QStringLiteral("План кабинета"),
                        QStringLiteral("План сохранён:\n%1").arg(path), QMessageBox::Information);
  return path;
}

bool LessonRecordPanel::OfferReport() {
  if (!journal_->record().HadDeskEvents()) return true;
  switch (prompter_.AskYesNoCancel(QStringLiteral("Отчёт об уроке"),
                                   QStringLiteral("Сохранить отчёт об уроке (PDF)?"),
                                   QMessageBox::Question)) {
    case QMessageBox::Yes:
      SaveReport();
      return true;
    case QMessageBox::No:
      return true;
    default:
      return false;
  }
}
