// What the teacher sees at a glance, end to end against the emulator: calls,
// the link strip, refused name characters, a re-plugged controller and a
// classroom file too large to read.
#include <QLabel>
#include <QToolButton>
#include <QtTest>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/waitdialog.h"
#include "config/inifile.h"
#include "platform/namedlock.h"
#include "support/windowfixture.h"
#include "tests/support/locknames.h"

namespace {

bool IsCallColour(const QColor& c) {
  return c.red() > 220 && c.green() > 90 && c.green() < 160 && c.blue() < 60;
}

bool Orange(QWidget* panel) {
  const QImage picture = panel->grab().toImage();
  return IsCallColour(picture.pixelColor(1, picture.height() / 2));
}

// The call's border, bright in `picture` of `panel`, leaves every pixel of
// the desk's number in view.
bool NumberInView(DeskPanel* panel, const QImage& picture) {
  const QRect title = panel->TitleRect().intersected(picture.rect());
  for (int y = title.top(); y <= title.bottom(); ++y) {
    for (int x = title.left(); x <= title.right(); ++x) {
      if (IsCallColour(picture.pixelColor(x, y))) return false;
    }
  }
  return !title.isEmpty();
}

// A process that takes the named lock and is then stopped: it never lets go.
pid_t StoppedLockHolder(const std::string& name) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]);
    auto lock = platform::CreateNamedLock(name);
    const char ok = lock && lock->Wait(5000) == platform::LockWait::kAcquired ? 'y' : 'n';
    if (write(ready[1], &ok, 1) != 1 || ok != 'y') _exit(1);
    raise(SIGSTOP);
    for (;;) pause();
  }
  close(ready[1]);
  char ok = 'n';
  const bool held = pid > 0 && read(ready[0], &ok, 1) == 1 && ok == 'y';
  close(ready[0]);
  if (!held && pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
  }
  return pid;
}

WaitDialog* OpenWaitDialog() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<WaitDialog*>(w); dialog && dialog->isVisible()) return dialog;
  }
  return nullptr;
}

QString LinkText(WindowFixture& fx) { return fx.form().status->linkLabel->text(); }

QStringList CallEntries(WindowFixture& fx) {
  QStringList names;
  for (QToolButton* entry : fx.form().calls->list->findChildren<QToolButton*>()) {
    names << entry->objectName();
  }
  return names;
}

}  // namespace

class ConsoleViewTest : public QObject {
  Q_OBJECT
 private slots:
  void callsAreMarkedListedAndAnswered() {
    WindowOptions options;
    options.startEmulator = true;
    options.writeClassroom = true;
    options.readThreadStop = 0;  // the poll brings the students' calls
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QVERIFY(!Orange(fx.Desk(5)));

    QVERIFY(fx.emulator()->Send("led 5 on"));
    QTRY_VERIFY(fx.Desk(5)->marks().calling);
    QTRY_VERIFY(Orange(fx.Desk(5)));  // blinking: bright again within a moment
    QImage bright;
    QTRY_VERIFY((bright = fx.Desk(5)->grab().toImage(),
                 IsCallColour(bright.pixelColor(1, bright.height() / 2))));
    QVERIFY(NumberInView(fx.Desk(5), bright));
    // A name that looks like markup shows as typed in its entry's tooltip.
    fx.form().Apply([](console::ConsoleModel& m) {
      m.BeginNameEditing(11);
      m.TypeName(11, "<b>Ли</b>");
      m.PressEnterInName(11);
    });
    QVERIFY(fx.emulator()->Send("led 12 on"));
    QTRY_COMPARE(CallEntries(fx).size(), 2);
    QVERIFY(fx.emulator()->Send("led 2 on"));
    QTRY_COMPARE(CallEntries(fx), QStringList({"Call5", "Call12", "Call2"}));

    // The student puts the LED out: the call ends, mark and entry.
    QVERIFY(fx.emulator()->Send("led 5 off"));
    QTRY_VERIFY(!fx.Desk(5)->marks().calling);
    QVERIFY(!Orange(fx.Desk(5)));
    QCOMPARE(CallEntries(fx), QStringList({"Call12", "Call2"}));

    // An entry answers its call by listening to the desk.
    const size_t mark = fx.TraceMark();
    auto* first = fx.form().calls->list->findChild<QToolButton*>("Call12");
    QVERIFY(first != nullptr);
    QVERIFY(first->toolTip().contains(QStringLiteral("&lt;b&gt;Ли&lt;/b&gt;")));
    first->click();
    const auto frames = fx.FramesSince(mark);
    QCOMPARE(frames.size(), size_t(1));
    QCOMPARE(testsupport::HexText(frames[0].rx), std::string("55 30 84 00 1B 25"));
    QVERIFY(fx.Desk(12)->listen->isChecked());
  }

  void linkStripSaysWhatTheLinkDid() {
    WindowOptions options;
    options.startEmulator = true;
    options.readThreadStop = 0;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QTRY_VERIFY2(LinkText(fx).contains("контроллер отвечает"), qPrintable(LinkText(fx)));
    QVERIFY(fx.emulator()->Send("fault silent on"));
    QTRY_VERIFY2(LinkText(fx).contains("контроллер не отвечает с "), qPrintable(LinkText(fx)));
    fx.emulator()->Stop();
    QTRY_VERIFY2(LinkText(fx).contains("устройство не найдено"), qPrintable(LinkText(fx)));

    WindowOptions quiet;
    quiet.startEmulator = true;  // ReadThreadStop=1: nobody watches the controller
    WindowFixture off(quiet);
    QVERIFY2(off.Ok(), off.Error().c_str());
    QVERIFY2(LinkText(off).contains("опрос выключен"), qPrintable(LinkText(off)));
  }

  void replugAndRetryWorksWithoutARestart() {
    WindowOptions options;
    options.startEmulator = true;
    options.writeClassroom = true;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    const std::string link = fx.emulator()->linkPath();
    fx.emulator()->Stop();
    // The adapter comes back on the same path: a new device behind the old name.
    testsupport::EmulatorProcess again({"--link", link});
    QVERIFY2(again.Started(), again.Error().c_str());
    fx.prompter().yesNoAnswers = {true};  // "Повторить"
    fx.ClickButton(fx.Desk(3)->listen);
    const auto frames = testsupport::FramesOnly(again.WaitForTrace(1));
    QVERIFY(!frames.empty());
    QCOMPARE(testsupport::HexText(frames.back().rx), std::string("55 30 84 00 12 1C"));
    QVERIFY(frames.back().Answered());
    QVERIFY(fx.Desk(3)->listen->isChecked());
    QVERIFY2(fx.prompter().Count(FakePrompter::Kind::kQuestion) <= 1,
             qPrintable(fx.prompter().Texts(FakePrompter::Kind::kQuestion)));
  }

  // Another program holds the port and is stopped: the teacher can end the
  // wait (nothing is sent), and can close the window while it waits.
  void waitForAStoppedHolderCanBeCancelledAndClosed() {
    WindowOptions options;
    options.startEmulator = true;
    options.writeClassroom = true;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    const pid_t holder = StoppedLockHolder(ControllerPort::SharingLockName(
        fx.emulator()->linkPath(), testsupport::TestLockName("window")));
    QVERIFY(holder > 0);
    QString reason;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
      if (WaitDialog* dialog = OpenWaitDialog(); dialog && dialog->cancelButton) {
        reason = dialog->message->text();
        dialog->cancelButton->click();
      }
    });
    cancel.start(50);
    const size_t mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(3)->listen);
    cancel.stop();
    QVERIFY2(reason.contains("занят другой программой"), qPrintable(reason));
    QVERIFY(fx.FramesSince(mark).empty());
    QVERIFY(!fx.Desk(3)->listen->isChecked());
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kQuestion), 0);

    // Closing while the console waits: the wait ends as a "No", the window closes.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (OpenWaitDialog() != nullptr) fx.form().close();
    });
    closer.start(50);
    fx.ClickButton(fx.Desk(4)->listen);
    QTRY_VERIFY(!fx.form().isVisible());
    closer.stop();
    QVERIFY(fx.FramesSince(mark).empty());
    kill(holder, SIGKILL);
    QCOMPARE(waitpid(holder, nullptr, 0), holder);
  }

  // No classroom file: a hint with two ways on; the standard classroom ends it.
  void firstStartHintAndFileFromOutside() {
    WindowOptions options;  // no classroom file named
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QFrame* hint = fx.form().plan->firstStartHint();
    QVERIFY(hint->isVisible());
    // Whole, and in the middle of the plan above the bottom panels, here and
    // after the window grows.
    for (const QSize size : {fx.form().size(), fx.form().size() * 2}) {
      fx.form().resize(size);
      QTRY_COMPARE(fx.form().size(), size);
      const QRect area(0, 0, fx.form().plan->width(), fx.form().teacher->y());
      QVERIFY(hint->width() >= hint->sizeHint().width());
      QVERIFY(area.contains(hint->geometry()));
      QVERIFY(qAbs(hint->geometry().center().x() - area.center().x()) <= 1);
    }
    fx.prompter().yesNoAnswers = {true};  // "Продолжить?"
    auto* standard = fx.form().plan->firstStartHint()->findChild<QPushButton*>("HintStandard");
    QVERIFY(standard != nullptr);
    standard->click();
    QVERIFY(!fx.form().plan->firstStartHint()->isVisible());
    QVERIFY(fx.Desk(16)->isVisible());
    QVERIFY(fx.form().isWindowModified());

    // A file handed over by a second start: the changed plan is offered for
    // saving first ("No" here), then the file is open.
    testsupport::TempDir other;
    ini::IniDocument plan;
    plan.WriteInteger("Desk2", "Visible", 1);
    plan.WriteString("Desk2", "StudentName", "Извне");
    plan.Save(other.File("other.cld"));
    fx.prompter().yesNoAnswers = {false};
    fx.form().OpenClassroomFromOutside(QString::fromStdString(other.File("other.cld")));
    QCOMPARE(fx.prompter().Texts(FakePrompter::Kind::kQuestion).count("Сохранить конфигурацию кабинета?"), 1);
    QCOMPARE(fx.Desk(2)->nameBox->text(), QString("Извне"));
    QVERIFY(!fx.Desk(1)->isVisible());
    QVERIFY(fx.form().windowTitle().contains("other.cld"));
  }

  void refusedNameCharacterAndOversizedFile() {
    testsupport::TempDir outside;
    const std::string huge = outside.File("huge.cld");
    const int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(::ftruncate(fd, 64LL << 30), 0);
    ::close(fd);

    WindowOptions options;
    options.writeClassroom = true;
    options.arguments = {huge};  // named on the command line
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kMessage), 1);
    QVERIFY(fx.prompter().Texts(FakePrompter::Kind::kMessage).contains("слишком большой"));
    QVERIFY(fx.Desk(1)->isVisible());  // the stored classroom is there, not stored over
    QCOMPARE(fx.form().model().classroomFile(), fx.classroomPath());

    QLineEdit* box = fx.Desk(1)->nameBox;
    QTest::mouseDClick(box, Qt::LeftButton);
    box->selectAll();
    QTest::keyClicks(box, "Ren");
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QStringLiteral("é"));
    QApplication::sendEvent(box, &typed);
    QTest::keyClicks(box, "e");
    QCOMPARE(box->text(), QString("Rene"));  // é has no Windows-1251 form
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(fx.form().model().plan()[0].studentName, std::string("Rene"));
  }
};

QTEST_MAIN(ConsoleViewTest)
#include "console_view_posix_test.moc"
