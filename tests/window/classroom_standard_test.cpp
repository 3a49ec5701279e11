// The standard classroom generator: the question, the reset, the plan it builds.
#include <QLineEdit>
#include <QTest>

#include "config/inifile.h"
#include "support/windowfixture.h"

using Kind = FakePrompter::Kind;

namespace {

const QString kQuestion = QStringLiteral(
    "Сейчас контроллер обнулится и будет создана стандартная конфигурация кабинета. "
    "Продолжить?");

QPoint StandardPosition(int deskNumber) {
  const int columns[4] = {10, 180, 375, 545};
  return QPoint(columns[(deskNumber - 1) % 4], 18 + 106 * ((deskNumber - 1) / 4));
}

}  // namespace

class ClassroomStandardTest : public QObject {
  Q_OBJECT

 private slots:
  void answerNoChangesNothingAndSendsNothing();
  void numberOfVisibleDesks_data();
  void numberOfVisibleDesks();
  void yesResetsControllerAndSaveAsWritesThePlan();
  void nameBeingEditedTakesTheStandardName();
};

void ClassroomStandardTest::answerNoChangesNothingAndSendsNothing() {
  WindowOptions options;
  options.startEmulator = true;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  TForm1& form = fx.form();
  form.GroupBox[3]->hide();
  const size_t mark = fx.TraceMark();
  fx.prompter().yesNoAnswers = {false};

  fx.ClickButton(form.ToolButton12);

  QCOMPARE(fx.prompter().Count(Kind::kQuestion, QStringLiteral("Внимание!!!")), 1);
  QCOMPARE(fx.prompter().records.back().text, kQuestion);
  QCOMPARE(fx.prompter().records.back().icon, QMessageBox::Question);
  QTest::qWait(300);  // anything sent would reach the trace by now
  QCOMPARE(fx.FramesSince(mark).size(), size_t(0));
  for (int n = 1; n <= 16; ++n) {
    QCOMPARE(form.GroupBox[n - 1]->pos(), WindowFixture::StoredPosition(n));
    QCOMPARE(form.GroupBox[n - 1]->isHidden(), n == 4);
    QCOMPARE(form.GroupBox[n - 1]->nameBox->text(), QStringLiteral("Ученик %1").arg(n));
  }
  QCOMPARE(fx.room().ClassroomChanged, 0);
}

void ClassroomStandardTest::numberOfVisibleDesks_data() {
  QTest::addColumn<QString>("setting");  // empty: key missing
  QTest::addColumn<int>("shown");
  QTest::newRow("5") << "5" << 5;
  QTest::newRow("16") << "16" << 16;
  QTest::newRow("40") << "40" << 16;
  QTest::newRow("0") << "0" << 0;
  QTest::newRow("-1") << "-1" << 0;
  QTest::newRow("0x3") << "0x3" << 3;
  QTest::newRow("not a number") << "many" << 16;
}

void ClassroomStandardTest::numberOfVisibleDesks() {
  QFETCH(QString, setting);
  QFETCH(int, shown);
  WindowOptions options;
  options.writeClassroom = true;
  options.show = false;
  options.extraSettings = {{"Interface", "NumberOfVisibleDesk", setting.toStdString()},
                           {"NumDesk", "Desk3", "Парта у окна"},
                           {"NumDesk", "Desk4", "Двадцать символов!!!"}};
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  TForm1& form = fx.form();
  fx.room().PairLinkCode[0] = "cb";
  form.setWindowTitle(QStringLiteral("unchanged"));
  fx.prompter().yesNoAnswers = {true};

  form.ToolButton12Click();

  for (int n = 1; n <= 16; ++n) {
    const DeskPanel* panel = form.GroupBox[n - 1];
    QCOMPARE(panel->pos(), StandardPosition(n));
    QCOMPARE(panel->isHidden(), n > shown);
    QCOMPARE(panel->nameBox->text(), QStringLiteral("Ученик %1").arg(n));
  }
  QCOMPARE(form.GroupBox[0]->title(), QStringLiteral("Стол 1"));
  QCOMPARE(form.GroupBox[2]->title(), QStringLiteral("Парта у окна"));
  QCOMPARE(form.GroupBox[3]->title(), QStringLiteral("Двадцать символ"));
  QCOMPARE(fx.room().ClassroomChanged, 1);
  // Neither the link codes nor the caption belong to the plan built here.
  QCOMPARE(fx.room().PairLinkCode[0], std::string("cb"));
  QCOMPARE(form.windowTitle(), QStringLiteral("unchanged"));
}

void ClassroomStandardTest::yesResetsControllerAndSaveAsWritesThePlan() {
  WindowOptions options;
  options.startEmulator = true;
  options.writeClassroom = true;
  options.extraSettings = {{"Interface", "NumberOfVisibleDesk", "6"}};
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  TForm1& form = fx.form();
  fx.room().PairJoined[1] = 1;
  form.RedrawLinks();
  const size_t mark = fx.TraceMark();
  fx.prompter().yesNoAnswers = {true};

  form.ToolButton12Click();

  // The probe, then the reset's frames; the reset clears the joined pair.
  QTRY_VERIFY_WITH_TIMEOUT(fx.FramesSince(mark).size() >= 2, 5000);
  QCOMPARE(fx.room().PairJoined[1], 0);
  QCOMPARE(fx.prompter().Count(Kind::kQuestion), 1);

  const QString target = QString::fromStdString(fx.dir().File("standard.cld"));
  fx.prompter().saveNames = {target};
  QVERIFY(form.ToolButton17Click());
  const ini::IniDocument saved = ini::IniDocument::Load(target.toStdString());
  for (int n = 1; n <= 16; ++n) {
    const std::string section = "Desk" + std::to_string(n);
    QCOMPARE(saved.ReadInteger(section, "CoordinateLeft", -1), StandardPosition(n).x());
    QCOMPARE(saved.ReadInteger(section, "CoordinateTop", -1), StandardPosition(n).y());
    QCOMPARE(saved.ReadInteger(section, "Visible", -1), n <= 6 ? 1 : 0);
    QCOMPARE(saved.ReadString(section, "StudentName", ""), "Ученик " + std::to_string(n));
  }
  QCOMPARE(fx.room().ClassroomChanged, 0);
}

// The generator sets names without ending an edit; discarding that edit
// afterwards must give back the standard name, not the one before it.
void ClassroomStandardTest::nameBeingEditedTakesTheStandardName() {
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  TForm1& form = fx.form();
  QLineEdit* box = fx.Desk(3)->nameBox;
  box->setText(QStringLiteral("Старое имя"));
  form.Edit1KeyPress(box, 13);
  QTest::keyClicks(box, QStringLiteral("!"));
  fx.prompter().yesNoAnswers = {true};

  form.ToolButton12Click();
  QCOMPARE(box->text(), QStringLiteral("Ученик 3"));
  form.FormClick();
  QCOMPARE(box->text(), QStringLiteral("Ученик 3"));

  const QString target = QString::fromStdString(fx.dir().File("standard.cld"));
  fx.prompter().saveNames = {target};
  QVERIFY(form.ToolButton17Click());
  QCOMPARE(ini::IniDocument::Load(target.toStdString()).ReadString("Desk3", "StudentName", ""),
           std::string("Ученик 3"));
}

QTEST_MAIN(ClassroomStandardTest)
#include "classroom_standard_test.moc"
