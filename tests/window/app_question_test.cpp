// The real three-button question of QtPrompter: its Russian buttons, and
// Escape and the close button that leave everything as it was (Cancel).
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/prompter.h"

namespace {

// Waits for the question and answers it as `how` says: a button's text,
// "Escape", or "close" (the title bar's close button).
class QuestionAnswerer : public QObject {
 public:
  explicit QuestionAnswerer(QString how) : how_(std::move(how)) {
    connect(&timer_, &QTimer::timeout, this, &QuestionAnswerer::Poll);
    timer_.start(20);
  }
  QStringList buttons;  // the question's button texts
  Qt::TextFormat format = Qt::AutoText;

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || answered_) return;
    answered_ = true;
    format = box->textFormat();
    for (QAbstractButton* b : box->buttons()) buttons << b->text();
    buttons.sort();
    QPointer<QMessageBox> target(box);
    const QString how = how_;
    QTimer::singleShot(0, box, [target, how] {
      if (target == nullptr) return;
      if (how == QLatin1String("Escape")) {
        QTest::keyClick(target, Qt::Key_Escape);
      } else if (how == QLatin1String("close")) {
        target->close();
      } else {
        for (QAbstractButton* b : target->buttons()) {
          if (b->text() == how) b->click();
        }
      }
    });
  }

  QString how_;
  bool answered_ = false;
  QTimer timer_;
};

}  // namespace

class QuestionTest : public QObject {
  Q_OBJECT

 private slots:
  void threeButtons_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answer");
    QTest::newRow("Да") << QStringLiteral("Да") << int(QMessageBox::Yes);
    QTest::newRow("Нет") << QStringLiteral("Нет") << int(QMessageBox::No);
    QTest::newRow("Отмена") << QStringLiteral("Отмена") << int(QMessageBox::Cancel);
    QTest::newRow("Escape") << QStringLiteral("Escape") << int(QMessageBox::Cancel);
    QTest::newRow("close button") << QStringLiteral("close") << int(QMessageBox::Cancel);
  }
  void threeButtons() {
    QFETCH(QString, how);
    QFETCH(int, answer);
    QuestionAnswerer answerer(how);
    QtPrompter prompter;
    // The program's icon is set here before a start-up message: before the box shows.
    int before = 0;
    prompter.beforeDialog = [&before] { before += QApplication::activeModalWidget() ? 100 : 1; };
    const QMessageBox::StandardButton got = prompter.AskYesNoCancel(
        QStringLiteral("Внимание!!!"), QStringLiteral("Сохранить <b>конфигурацию</b> кабинета?"),
        QMessageBox::Question);
    QCOMPARE(int(got), answer);
    QCOMPARE(answerer.buttons, QStringList({"Да", "Нет", "Отмена"}));
    QCOMPARE(answerer.format, Qt::PlainText);
    QCOMPARE(before, 1);
  }
};

QTEST_MAIN(QuestionTest)
#include "app_question_test.moc"
