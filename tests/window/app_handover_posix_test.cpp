// Files handed to the running console by a second start, over the real
// channel: what cannot be opened gives a plain message and the console goes on
// working; the save question it raises can be answered again and again.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QInputDialog>
#include <QMenu>
#include <QtTest>

#include "app/instancechannel.h"
#include "app/lessontoolsbar.h"
#include "config/arrangementfile.h"
#include "config/classroomplan.h"
#include "config/inifile.h"
#include "support/handoverclient.h"
#include "support/windowfixture.h"

using Kind = FakePrompter::Kind;
using Result = InstanceChannel::HandOverResult;

namespace {

// The running console's channel, in the fixture's folder.
QString ListenFor(WindowFixture& fx, InstanceChannel& channel) {
  const QString address = InstanceChannel::AddressFor(QString::fromStdString(fx.settingsPath()),
                                                      QString::fromStdString(fx.dir().path()));
  if (!channel.Listen(address)) return QString();
  QObject::connect(&channel, &InstanceChannel::fileReceived, &fx.form(),
                   &ConsoleWindow::OpenClassroomFromOutside);
  return address;
}

void WriteClassroom(const std::string& path, const std::string& name) {
  ini::IniDocument plan;
  plan.WriteInteger("Desk2", "Visible", 1);
  plan.WriteString("Desk2", "StudentName", name);
  plan.Save(path);
}

// A console listening on its channel with the teacher's plan edited, and a
// second classroom file to hand over while one of its dialogs is open.
struct DialogScene {
  DialogScene() : fx(WithClassroom()) {
    WriteClassroom(handed, "Из другого файла");
    if (!fx.Ok()) return;
    address = ListenFor(fx, channel);
    current = fx.form().model().classroomFile();
    fx.form().Apply([](console::ConsoleModel& m) {
      m.PressEnterInName(0);
      m.TypeName(0, "Правка учителя");
      m.PressEnterInName(0);
    });
  }
  static WindowOptions WithClassroom() {
    WindowOptions options;
    options.writeClassroom = true;
    return options;
  }
  // Hands the file over as a second start does, lets the event loop run once
  // more (a file taken at once would be open by then), and notes what the
  // console had meanwhile: its file and the edited name must stay.
  void HandOverNow() {
    taken = HandOverServed(address, QString::fromStdString(handed)) == Result::Taken;
    QCoreApplication::processEvents();
    unchanged = fx.form().model().classroomFile() == current &&
                fx.form().model().plan()[0].studentName == "Правка учителя";
  }

  testsupport::TempDir outside;
  const std::string handed = outside.File("handed.cld");
  WindowFixture fx;
  InstanceChannel channel;
  QString address;
  std::string current;
  bool taken = false;
  bool unchanged = false;
};

}  // namespace

class HandOverTest : public QObject {
  Q_OBJECT

 private slots:
  void whatCannotBeOpenedGivesAPlainMessage_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << "folder";
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("/dev/zero") << "zero";
    QTest::newRow("markup in the name") << "markup";
  }

  void whatCannotBeOpenedGivesAPlainMessage() {
    QFETCH(QString, kind);
    testsupport::TempDir outside;
    std::string path;
    if (kind == "folder") {
      path = outside.File("folder.cld");
      QCOMPARE(::mkdir(path.c_str(), 0700), 0);
    } else if (kind == "fifo") {
      path = outside.File("fifo.cld");
      QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
    } else if (kind == "zero") {
      path = "/dev/zero";
    } else {
      // Rich text would load the picture: a FIFO, which blocks for ever.
      QCOMPARE(::mkfifo(outside.File("f").c_str(), 0600), 0);
      path = outside.File("<img src=\"f\"> 5А.cld");
      QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
    }
    WindowOptions options;
    options.startEmulator = true;
    options.writeClassroom = true;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.prompter().modalMs = 30;  // a real modal loop, as with a teacher reading it
    InstanceChannel channel;
    const QString address = ListenFor(fx, channel);
    QVERIFY(!address.isEmpty());

    QCOMPARE(HandOverServed(address, QString::fromStdString(path)), Result::Taken);
    QTRY_COMPARE(fx.prompter().Count(Kind::kMessage), 1);
    QVERIFY2(fx.prompter().Texts(Kind::kMessage).contains(QString::fromStdString(path)),
             qPrintable(fx.prompter().Texts(Kind::kMessage)));
    QCOMPARE(fx.form().model().classroomFile(), fx.classroomPath());

    // The console still answers: a click sends its frame.
    const size_t mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(3)->listen);
    QTRY_VERIFY(!fx.FramesSince(mark).empty());
  }

  void saveQuestionAnsweredAgainAndAgain_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Да") << int(QMessageBox::Yes);
    QTest::newRow("Нет") << int(QMessageBox::No);
    QTest::newRow("Отмена") << int(QMessageBox::Cancel);
  }

  // The documented flow: a changed plan, a file handed over, the save
  // question answered; twenty times running, each time with a real modal loop.
  void saveQuestionAnsweredAgainAndAgain() {
    QFETCH(int, answer);
    const bool save = answer == QMessageBox::Yes;
    const bool cancel = answer == QMessageBox::Cancel;
    testsupport::TempDir outside;
    const std::string files[] = {outside.File("a.cld"), outside.File("b.cld")};
    WriteClassroom(files[0], "Из файла А");
    WriteClassroom(files[1], "Из файла Б");
    WindowOptions options;
    options.writeClassroom = true;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.prompter().modalMs = 10;
    InstanceChannel channel;
    const QString address = ListenFor(fx, channel);
    QVERIFY(!address.isEmpty());

    for (int round = 0; round < 20; ++round) {
      const std::string name = "Имя " + std::to_string(round);
      fx.form().Apply([&name](console::ConsoleModel& m) {
        m.PressEnterInName(0);
        m.TypeName(0, name);
        m.PressEnterInName(0);
      });
      QVERIFY(fx.form().isWindowModified());
      const std::string current = fx.form().model().classroomFile();
      const std::string next = files[round % 2];
      fx.prompter().threeWayAnswers = {static_cast<QMessageBox::StandardButton>(answer)};
      if (save) fx.prompter().saveNames = {QString::fromStdString(current)};
      const int questions = fx.prompter().Count(Kind::kQuestion);

      QCOMPARE(HandOverServed(address, QString::fromStdString(next)), Result::Taken);
      QTRY_COMPARE(fx.prompter().Count(Kind::kQuestion), questions + 1);
      // "Отмена" keeps the plan and its file; the others open the file handed over.
      QTRY_COMPARE(fx.form().model().classroomFile(), cancel ? current : next);
      if (cancel) QVERIFY(fx.form().isWindowModified());
      QCOMPARE(fx.prompter().Count(Kind::kMessage), 0);
      const bool saved = classroom::LoadClassroomFile(current).plan[0].studentName == name;
      QCOMPARE(saved, save);
    }
  }

  // "Сохранить как" open, a file handed over: the plan saved is the teacher's
  // edited plan, and the file handed over opens only after the dialog closed.
  void handOverDuringTheSaveAsDialogWaitsForIt() {
    DialogScene scene;
    QVERIFY2(scene.fx.Ok() && !scene.address.isEmpty(), scene.fx.Error().c_str());
    const std::string savedAs = scene.outside.File("saved.cld");
    scene.fx.prompter().saveNames = {QString::fromStdString(savedAs)};
    scene.fx.prompter().whileSaveDialogOpen = [&scene] { scene.HandOverNow(); };
    scene.fx.form().Apply([](console::ConsoleModel& m) { m.SaveClassroomAs(); });

    QVERIFY(scene.taken);
    QVERIFY(scene.unchanged);
    QCOMPARE(classroom::LoadClassroomFile(savedAs).plan[0].studentName,
             std::string("Правка учителя"));
    // Saved: the file handed over then opens without a question.
    QTRY_COMPARE(scene.fx.form().model().classroomFile(), scene.handed);
    QCOMPARE(scene.fx.prompter().Count(Kind::kQuestion), 0);
    QCOMPARE(scene.fx.prompter().Count(Kind::kMessage), 0);
  }

  // The arrangement's name box open, a file handed over: the arrangement goes
  // into the file it was made for; then the usual question about the changed
  // plan ("Нет"), and the file handed over opens.
  void handOverDuringTheArrangementNameBoxWaitsForIt() {
    DialogScene scene;
    QVERIFY2(scene.fx.Ok() && !scene.address.isEmpty(), scene.fx.Error().c_str());
    scene.fx.prompter().threeWayAnswers = {QMessageBox::No};
    QMenu* menu = scene.fx.form().toolsBar->arrangementsMenu;
    emit menu->aboutToShow();
    const QList<QAction*> actions = menu->actions();
    QVERIFY(!actions.isEmpty() && actions.front()->text().startsWith(QStringLiteral("Сохранить текущую")));
    QTimer::singleShot(0, [&scene] {
      if (auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
        scene.HandOverNow();
        box->setTextValue(QStringLiteral("Пары"));
        box->accept();
      }
    });
    actions.front()->trigger();

    QVERIFY(scene.taken);
    QVERIFY(scene.unchanged);
    QTRY_COMPARE(scene.fx.form().model().classroomFile(), scene.handed);
    QCOMPARE(scene.fx.prompter().Count(Kind::kQuestion), 1);
    const auto saved = classroom::ReadArrangements(ini::IniDocument::Load(scene.fx.classroomPath()));
    QCOMPARE(saved.size(), size_t{1});
    QCOMPARE(saved.front().name, std::string("Пары"));
    QVERIFY(classroom::ReadArrangements(ini::IniDocument::Load(scene.handed)).empty());
  }
};

QTEST_MAIN(HandOverTest)
#include "app_handover_posix_test.moc"
