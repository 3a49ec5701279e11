// The practice class's mark, menu, students and guide in the window.
#include "app/practicepart.h"

#include <QActionGroup>
#include <QFontDatabase>
#include <QMenuBar>
#include <QRandomGenerator>

#include "app/consolewindow.h"
#include "app/lessontools.h"
#include "app/practiceguidepanel.h"
#include "app/prompter.h"
#include "app/widgets.h"
#include "console/practicefolder.h"

namespace {

constexpr int kTickIntervalMs = 500;
constexpr int kGuideGapPx = 8;  // between the console and the guide's window
constexpr int kTraceWidth = 460;
constexpr int kTraceHeight = 300;

template <typename Test>
uint16_t DeskMask(const console::ConsoleDisplay& shown, Test test) {
  uint16_t mask = 0;
  for (int d = 0; d < kDeskCount; ++d) {
    if (test(shown.desks[d])) mask = static_cast<uint16_t>(mask | (1u << d));
  }
  return mask;
}

}  // namespace

PracticePart::PracticePart(ConsoleWindow& window, PracticeSession& session, Prompter& prompter)
    : QObject(&window),
      window_(window),
      session_(session),
      prompter_(prompter),
      students_(QRandomGenerator::global()->generate(), 0, session.liveliness) {
  clock_.start();
  badge = new QLabel(window_.status);
  badge->setObjectName(QStringLiteral("PracticeBadge"));
  badge->setTextFormat(Qt::PlainText);
  badge->setStyleSheet(
      QStringLiteral("QLabel { background: rgb(255,230,120); color: black; font-weight: bold; "
                     "padding: 0 4px; }"));
  BuildMenu();
  window_.status->AddPart(badge, StatusArea::Place::Leading);
  window_.status->AddPart(menuButton, StatusArea::Place::Leading);
  // The same entries in the menu bar, before the help.
  if (QMenuBar* bar = window_.menuBar) {
    QAction* help = nullptr;
    for (QAction* entry : bar->actions()) {
      if (entry->menu() != nullptr && entry->menu()->objectName() == QLatin1String("HelpMenu")) {
        help = entry;
      }
    }
    bar->insertMenu(help, menu);
  }
  ShowFaultState();
  tick_ = new QTimer(this);
  tick_->setInterval(kTickIntervalMs);
  connect(tick_, &QTimer::timeout, this, [this] { Tick(NowMs()); });
  tick_->start();
  if (!session_.problem.isEmpty()) {
    QTimer::singleShot(0, this, [this] {
      prompter_.ShowMessage(QString::fromUtf8(console::kPracticeName), session_.problem,
                            QMessageBox::Warning);
    });
  }
}

PracticePart::~PracticePart() {
  if (guidePanel_) delete guidePanel_;
  if (traceView_) delete traceView_;
}

void PracticePart::BuildMenu() {
  menuButton = NewStripButton(window_.status, QStringLiteral("PracticeMenu"), QStringLiteral("Класс"),
                              QStringLiteral("Учебный класс: ученики, неисправности, первый урок"));
  menuButton->setPopupMode(QToolButton::InstantPopup);
  menu = new QMenu(QStringLiteral("&Класс"), menuButton);
  menu->setObjectName(QStringLiteral("PracticeMenuEntries"));
  menuButton->setMenu(menu);

  guideAction = menu->addAction(QStringLiteral("Первый урок…"), this, &PracticePart::OpenGuide);
  traceAction =
      menu->addAction(QStringLiteral("Обмен с контроллером…"), this, &PracticePart::OpenTrace);
  menu->addSeparator();
  auto* lively = new QActionGroup(this);
  auto addLiveliness = [&](const char* caption, controllersim::Liveliness liveliness) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setCheckable(true);
    a->setChecked(students_.liveliness() == liveliness);
    lively->addAction(a);
    connect(a, &QAction::triggered, this, [this, liveliness] { SetLiveliness(liveliness); });
    return a;
  };
  quietAction = addLiveliness("Тихий класс", controllersim::Liveliness::Quiet);
  ordinaryAction = addLiveliness("Обычный класс", controllersim::Liveliness::Ordinary);
  busyAction = addLiveliness("Шумный класс", controllersim::Liveliness::Busy);
  menu->addSeparator();
  controllersim::SimulatedLine& line = *session_.line;
  pullCableAction = menu->addAction(QStringLiteral("Выдернуть кабель"), this, [this, &line] {
    line.SetCablePulled(true);
    ShowFaultState();
  });
  plugCableAction = menu->addAction(QStringLiteral("Вставить кабель"), this, [this, &line] {
    line.SetCablePulled(false);
    ShowFaultState();
  });
  refuseFrameAction = menu->addAction(QStringLiteral("Контроллер не примет следующий кадр"), this,
                                      [&line] { line.RefuseNextFrame(); });
  powerLossAction = menu->addAction(QStringLiteral("Отключить питание контроллера"), this,
                                    [this, &line] {
                                      line.LosePower();
                                      ShowFaultState();
                                    });
  menu->addSeparator();
  leaveAction = menu->addAction(QStringLiteral("Выйти к настоящему контроллеру"), this,
                                &PracticePart::Leave);
}

void PracticePart::SetLiveliness(controllersim::Liveliness liveliness) {
  students_.SetLiveliness(liveliness, NowMs());
  quietAction->setChecked(liveliness == controllersim::Liveliness::Quiet);
  ordinaryAction->setChecked(liveliness == controllersim::Liveliness::Ordinary);
  busyAction->setChecked(liveliness == controllersim::Liveliness::Busy);
}

void PracticePart::ShowFaultState() {
  const controllersim::SimulatedLine& line = *session_.line;
  QString text = QString::fromUtf8(console::kPracticeName);
  if (line.CablePulled()) text += QStringLiteral(" · кабель выдернут");
  if (line.PoweredOff()) text += QStringLiteral(" · нет питания");
  if (badge->text() != text) badge->setText(text);
  badge->setToolTip(QStringLiteral("Учебный класс: контроллер внутри программы, ученики "
                                   "учебные. Журнал и отчёты пишутся отдельно от уроков."));
  pullCableAction->setEnabled(!line.CablePulled());
  plugCableAction->setEnabled(line.CablePulled());
}

void PracticePart::Tick(int64_t nowMs) {
  const console::ConsoleDisplay shown = window_.model().Display();
  controllersim::SimulatedLine& line = *session_.line;
  for (const controllersim::StudentAction& action :
       students_.Tick(nowMs, DeskMask(shown, [](const console::DeskDisplay& d) { return d.visible; }),
                      line.LitMask(),
                      DeskMask(shown, [](const console::DeskDisplay& d) { return d.listenDown; }))) {
    line.SetLed(action.desk, action.lit);
  }
  ShowFaultState();
  LookWithGuide(shown, nowMs);
  ShowTrace();
}

void PracticePart::OpenTrace() {
  if (!traceView_) {
    traceView_ = new QPlainTextEdit(&window_);
    traceView_->setWindowFlags(Qt::Tool);
    traceView_->setObjectName(QStringLiteral("PracticeTrace"));
    traceView_->setWindowTitle(
        QStringLiteral("Обмен с учебным контроллером (мс, принято RX, отправлено TX)"));
    traceView_->setReadOnly(true);
    traceView_->setAttribute(Qt::WA_ShowWithoutActivating);
    traceView_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    traceView_->resize(kTraceWidth, kTraceHeight);
  }
  traceView_->show();
  ShowTrace();
}

void PracticePart::ShowTrace() {
  if (!traceView_ || !traceView_->isVisible()) return;
  QStringList lines;
  for (const std::string& line : session_.line->TraceLines()) lines << QString::fromStdString(line);
  const QString text = lines.join(QLatin1Char('\n'));
  if (traceView_->toPlainText() == text) return;
  traceView_->setPlainText(text);
  traceView_->moveCursor(QTextCursor::End);
}

void PracticePart::LookWithGuide(const console::ConsoleDisplay& shown, int64_t nowMs) {
  if (!guidePanel_ || !guidePanel_->isVisible()) return;
  const console::GuideState state{
      &shown, &window_.room().SwitchState,
      window_.lessonTools().round().state() == console::RoundState::Running};
  // The answer-a-call step needs a student calling: one calls at once.
  if (guide_.WantsCall(state) && students_.Calling() == 0) students_.CallNow(nowMs);
  if (guide_.Look(state)) guidePanel_->ShowStep(guide_.step());
}

void PracticePart::OpenGuide() {
  if (!guidePanel_) {
    guidePanel_ = new PracticeGuidePanel(&window_);
    connect(guidePanel_, &PracticeGuidePanel::restartRequested, this, [this] {
      guide_.Restart();
      guidePanel_->ShowStep(guide_.step());
    });
  }
  guidePanel_->ShowStep(guide_.step());
  const QRect frame = window_.frameGeometry();
  guidePanel_->move(frame.right() + kGuideGapPx, frame.top());
  guidePanel_->show();
}

void PracticePart::Leave() {
  QString problem;
  if (!StartProgram(false, problem)) {
    prompter_.ShowMessage(QString::fromUtf8(console::kPracticeName), problem, QMessageBox::Warning);
    return;
  }
  window_.close();
}
