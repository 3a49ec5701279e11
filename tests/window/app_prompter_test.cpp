// The real save dialog of QtPrompter, accepted as a teacher accepts it: the
// name it returns is exactly the proposed file, whatever characters it holds.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/prompter.h"

namespace {

// Answers the modal windows as they appear: the file dialog's Save button the
// first time (Cancel after that, so that a wrong turn fails instead of
// hanging), and each question with `overwrite` (Yes or No), noting its text.
class Answerer : public QObject {
 public:
  explicit Answerer(bool overwrite) : overwrite_(overwrite) {
    connect(&timer_, &QTimer::timeout, this, &Answerer::Poll);
    timer_.start(20);
  }
  QStringList questions;

 private:
  void Poll() {
    QWidget* window = QApplication::activeModalWidget();
    if (window == nullptr || window == last_) return;
    last_ = window;  // each window once
    QDialogButtonBox::StandardButton press;
    if (qobject_cast<QFileDialog*>(window) != nullptr) {
      press = dialogs_++ == 0 ? QDialogButtonBox::Save : QDialogButtonBox::Cancel;
    } else if (auto* box = qobject_cast<QMessageBox*>(window)) {
      questions << box->text();
      press = overwrite_ ? QDialogButtonBox::Yes : QDialogButtonBox::No;
    } else {
      return;
    }
    auto* buttons = window->findChild<QDialogButtonBox*>();
    QPushButton* button = buttons != nullptr ? buttons->button(press) : nullptr;
    // The click runs after this poll returns, from the window's own loop.
    if (button != nullptr) QTimer::singleShot(0, button, &QPushButton::click);
  }

  bool overwrite_;
  int dialogs_ = 0;
  QPointer<QWidget> last_;
  QTimer timer_;
};

// Notes how the first message box that appears shows its text, and closes it.
class BoxWatcher : public QObject {
 public:
  BoxWatcher() {
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      format = box->textFormat();
      text = box->text();
      QTimer::singleShot(0, box, &QDialog::reject);
    });
    timer_.start(20);
  }
  Qt::TextFormat format = Qt::AutoText;
  QString text;

 private:
  QTimer timer_;
};

}  // namespace

class PrompterTest : public QObject {
  Q_OBJECT

 private slots:
  void saveDialogReturnsExactlyTheProposedFile_data();
  void saveDialogReturnsExactlyTheProposedFile();
  void messagesShowMarkupAsText_data();
  void messagesShowMarkupAsText();
};

void PrompterTest::messagesShowMarkupAsText_data() {
  QTest::addColumn<bool>("question");
  QTest::newRow("message") << false;
  QTest::newRow("question") << true;
}

// A path holding markup (an <img> of a FIFO or /dev/zero would load for ever)
// is shown character for character.
void PrompterTest::messagesShowMarkupAsText() {
  QFETCH(bool, question);
  const QString text = QStringLiteral("Файл «/tmp/<img src=\"/dev/zero\">/<b>5А</b>.cld» не найден.");
  BoxWatcher watcher;
  QtPrompter prompter;
  if (question) {
    QVERIFY(!prompter.AskYesNo(QStringLiteral("Vormik"), text, QMessageBox::Question));
  } else {
    prompter.ShowMessage(QStringLiteral("Vormik"), text, QMessageBox::Warning);
  }
  QCOMPARE(watcher.format, Qt::PlainText);
  QCOMPARE(watcher.text, text);
}

void PrompterTest::saveDialogReturnsExactlyTheProposedFile_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("exists");  // then the overwrite question is answered Yes
  QTest::addColumn<QString>("saved");
  const QString quoted = QStringLiteral("class \"5A\".cld");
  QTest::newRow("quotes") << quoted << false << quoted;
  QTest::newRow("quotes, existing") << quoted << true << quoted;
  QTest::newRow("quotes, no suffix") << QStringLiteral("class \"5A\"") << false << quoted;
  QTest::newRow("one quote") << QStringLiteral("5\"A.cld") << false << QStringLiteral("5\"A.cld");
  QTest::newRow("plain") << QStringLiteral("кабинет 5.cld") << false
                         << QStringLiteral("кабинет 5.cld");
}

void PrompterTest::saveDialogReturnsExactlyTheProposedFile() {
  QFETCH(QString, name);
  QFETCH(bool, exists);
  QFETCH(QString, saved);
#ifdef Q_OS_WIN
  if (name.contains(u'"')) QSKIP("a Windows file name cannot hold a double quote");
#endif
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString proposed = QDir(dir.path()).filePath(name);
  if (exists) {
    QFile file(proposed);
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  // Files the list reading of the name would give instead.
  for (const char* other : {"5A.cld", "class .cld", "5.cld"}) {
    QFile file(QDir(dir.path()).filePath(QString::fromLatin1(other)));
    QVERIFY(file.open(QIODevice::WriteOnly));
  }

  Answerer answerer(exists);
  QtPrompter prompter;
  const QString chosen = prompter.ChooseFileToSave(nullptr, proposed, dir.path());
  QCOMPARE(chosen, QDir::toNativeSeparators(QDir(dir.path()).filePath(saved)));
  // Only an existing file is asked about, and by its own name.
  QCOMPARE(answerer.questions.size(), exists ? 1 : 0);
  if (exists) QVERIFY2(answerer.questions.front().contains(name), qPrintable(answerer.questions.front()));
}

QTEST_MAIN(PrompterTest)
#include "app_prompter_test.moc"
