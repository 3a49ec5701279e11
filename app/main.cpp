// Program entry of the teacher's console.
#include <QApplication>
#include <QFileInfo>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/consolesession.h"
#include "app/consolewindow.h"
#include "app/instancechannel.h"
#include "app/environment.h"
#include "app/practiceoffer.h"
#include "app/practicepart.h"
#include "app/practicestart.h"
#include "app/prompter.h"
#include "app/startwarmup.h"
#include "app/technician.h"
#include "app/translation.h"
#include "console/classroomstate.h"
#include "platform/system.h"

// The live classroom state: built at process start, lives until it ends.
ClassroomState ClassRoomDescription;

namespace {

constexpr int kExitUsage = 2;

#ifndef _WIN32
bool HaveDisplay() {
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}
#endif

void DescribeCommandLine(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      QStringLiteral("Vormik — пульт преподавателя лингафонного кабинета."));
  // A single-dash word ("-platform") is one option, refused whole like any
  // unknown one: Qt's own options never reach Qt.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.addOption({{QStringLiteral("h"), QStringLiteral("help")},
                    QStringLiteral("Показать эту справку и выйти.")});
  parser.addOption({{QStringLiteral("v"), QStringLiteral("version")},
                    QStringLiteral("Показать версию программы и выйти.")});
  parser.addPositionalArgument(QStringLiteral("файл"),
                               QStringLiteral("Файл описания кабинета (.cld), который нужно "
                                              "открыть."),
                               QStringLiteral("[файл]"));
  AddTechnicianOptions(parser);
  AddPracticeOptions(parser);
}

QStringList ArgumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (const std::string& argument : platform::ProcessArguments(argc, argv)) {
    arguments << QString::fromStdString(argument);
  }
  return arguments;
}

// The option as the user typed it ("-x", "--colour"), without its value.
QString AsTyped(const QStringList& arguments, const QString& name) {
  for (const QString& argument : arguments.mid(1)) {
    if (argument == QStringLiteral("--")) break;
    const QString option = argument.section(QLatin1Char('='), 0, 0);
    if (option == QStringLiteral("-") + name || option == QStringLiteral("--") + name) return option;
  }
  return QStringLiteral("--") + name;
}

void Print(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
}

// Answers --help, --version and a wrong command line before any window or
// display is needed. Returns the exit code, or -1 when the console should start.
int AnswerCommandLine(int argc, char** argv) {
  QCommandLineParser parser;
  DescribeCommandLine(parser);
  const QStringList arguments = ArgumentsOf(argc, argv);
  if (!parser.parse(arguments)) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
      Print(stderr, QStringLiteral("vormik: неизвестный параметр «%1».\n")
                        .arg(AsTyped(arguments, unknown.first())));
    } else {
      Print(stderr, QStringLiteral("vormik: ошибка в командной строке: %1\n")
                        .arg(parser.errorText()));
    }
    Print(stderr, QStringLiteral("Список параметров: vormik --help\n"));
    return kExitUsage;
  }
  if (parser.isSet(QStringLiteral("version"))) {
    Print(stdout, QStringLiteral("vormik %1\n").arg(QStringLiteral(VORMIK_VERSION)));
    return 0;
  }
  if (const int code = AnswerTechnicianOptions(parser); code >= 0) return code;
  if (parser.isSet(QStringLiteral("help"))) {
    // An application object only for Qt's Russian headings of the help text.
    int coreArgc = 1;
    QCoreApplication core(coreArgc, argv);
    InstallQtRussianTranslation(core);
    QCommandLineParser translated;
    DescribeCommandLine(translated);
    Print(stdout, translated.helpText());
    return 0;
  }
  return -1;
}

QIcon ApplicationIcon() {
  // The PNGs at every size that the build drew (resources/icon).
  QIcon icon;
  const QDir folder(QStringLiteral(":/icons"));
  // Each file named with its size ("vormik-48.png"): given the size, Qt reads
  // a picture only when one is drawn, not all of them at start-up.
  for (const QString& name : folder.entryList(QDir::Files)) {
    const int size = name.section(QLatin1Char('-'), -1).section(QLatin1Char('.'), 0, 0).toInt();
    icon.addFile(folder.filePath(name), size > 0 ? QSize(size, size) : QSize());
  }
  return icon;
}

// Set once the window is on the screen, or before an earlier message: reading
// the pictures and handing them to the window system is no part of the first
// picture of the window.
void UseApplicationIcon() {
  static bool set = false;
  if (set) return;
  set = true;
  QApplication::setWindowIcon(ApplicationIcon());
}

// A message box whose text is never taken for markup (paths and names can
// hold anything).
void ShowPlainMessage(QMessageBox::Icon icon, const QString& text) {
  UseApplicationIcon();
  QMessageBox box(icon, QStringLiteral("Vormik"), text, QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

// True when this start is done: the running console has the file (or was
// raised), or it did not answer and the teacher has been told.
bool HandedToRunningConsole(const QString& address, const AppEnvironment& environment,
                            int& exitCode) {
  if (address.isEmpty()) return false;
  // Absolute here: a relative name means the folder this start was run in.
  const QString file =
      environment.arguments.empty()
          ? QString()
          : QDir::toNativeSeparators(
                QFileInfo(QString::fromStdString(environment.arguments.front())).absoluteFilePath());
  switch (InstanceChannel::HandOver(address, file)) {
    case InstanceChannel::HandOverResult::Taken:
      exitCode = 0;
      return true;
    case InstanceChannel::HandOverResult::NoAnswer:
      Print(stderr, QStringLiteral("vormik: %1\n").arg(InstanceChannel::NoAnswerText()));
      ShowPlainMessage(QMessageBox::Warning, InstanceChannel::NoAnswerText());
      exitCode = 1;
      return true;
    case InstanceChannel::HandOverResult::NoConsole:
      break;
  }
  return false;
}

void RaiseWindow(QWidget& window) {
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("vormik"));
  QCoreApplication::setApplicationVersion(QStringLiteral(VORMIK_VERSION));
  const int answered = AnswerCommandLine(argc, argv);
  if (answered >= 0) return answered;

#ifndef _WIN32
  // Without a display Qt aborts with a cryptic message; say what to do instead.
  if (!HaveDisplay()) {
    std::fputs(
        "vormik: дисплей не найден (DISPLAY и WAYLAND_DISPLAY не заданы).\n"
        "        Запустите программу в графическом сеансе или под Xvfb:\n"
        "        xvfb-run -a vormik\n"
        "vormik: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
        "        Run it in a graphical session or under Xvfb:\n"
        "        xvfb-run -a vormik\n",
        stderr);
    return kExitUsage;
  }
#endif

  // Read on the second core while Qt connects to the display.
  StartWarmUp fontWarmUp;
  fontWarmUp.ReadFontConfiguration();
  // Qt sees the program's name only: every option was checked above.
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  // Before Qt's first font: fontconfig is then never read by two threads at
  // once, and the overlap with the display's connection is kept.
  fontWarmUp.Wait();
  // While the channel, the session and the window are made; over before the
  // application object goes.
  StartWarmUp busWarmUp;
  busWarmUp.ConnectSessionBus();
  // On the second core while the channel and the session are made; waited for
  // before the first picture is read, and over before the application object goes.
  StartWarmUp imageWarmUp;
  // Message box buttons and file dialogs in Russian, like the console's own texts.
  InstallQtRussianTranslation(application);
  // Lets a Wayland desktop match the window to the menu entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("vormik"));
  try {
    AppEnvironment environment = AppEnvironment::FromProcess(argc, argv);
    // --practice: the simulated controller, and the practice folder's settings.
    const std::unique_ptr<PracticeSession> practice = TakePracticeStart(environment);
    // A second start for these settings goes to the console already running
    // (with its file, or only to raise it); this start then ends.
    QString channelProblem;
    const QString channelAddress = InstanceChannel::AddressFor(
        QString::fromStdString(environment.settingsPath), channelProblem);
    int exitCode = 0;
    if (HandedToRunningConsole(channelAddress, environment, exitCode)) return exitCode;
    // After the hand-over, whose message box reads pictures itself.
    imageWarmUp.LoadImageReaders();
    // Open before the window: a second start during the start-up questions
    // finds this console, and its file waits until the window can take it.
    InstanceChannel channel;
    channel.SetDelivering(false);
    if (!channelAddress.isEmpty() && !channel.Listen(channelAddress)) {
      channelProblem = QStringLiteral("Связь с другими запусками пульта не открылась (%1).")
                           .arg(channelAddress);
    }
    QtPrompter prompter;
    prompter.beforeDialog = [&imageWarmUp] {
      imageWarmUp.Wait();
      UseApplicationIcon();
    };
    ConsoleSession session(ClassRoomDescription, std::move(environment), prompter);
    // Qt's plugins are then never loaded by two threads at once.
    imageWarmUp.Wait();
    ConsoleWindow form(session);
    // Children of the window: they go with it.
    if (practice) {
      new PracticePart(form, *practice, prompter);
    } else {
      new PracticeOffer(form, prompter);
    }
    if (!channelProblem.isEmpty()) {
      Print(stderr, QStringLiteral("vormik: %1\n").arg(channelProblem));
      QTimer::singleShot(0, &form, [&prompter, channelProblem] {
        prompter.ShowMessage(QStringLiteral("Vormik"), channelProblem, QMessageBox::Warning);
      });
    }
    QObject::connect(&channel, &InstanceChannel::fileReceived, &form,
                     &ConsoleWindow::OpenClassroomFromOutside);
    QObject::connect(&channel, &InstanceChannel::raiseRequested, &form,
                     [&form] { RaiseWindow(form); });
    QObject::connect(&form, &ConsoleWindow::shownOnScreen, &form, UseApplicationIcon);
    form.show();
    // A file handed over waits until the controller has been met and the
    // classroom loaded, as a file on this start's own command line does.
    if (session.Started()) {
      channel.SetDelivering(true);
    } else {
      QObject::connect(&session, &ConsoleSession::started, &channel,
                       [&channel] { channel.SetDelivering(true); }, Qt::QueuedConnection);
    }
    application.exec();
  } catch (const std::exception& error) {
    imageWarmUp.Wait();
    ShowPlainMessage(QMessageBox::Critical, QString::fromUtf8(error.what()));
  } catch (...) {
    imageWarmUp.Wait();
    ShowPlainMessage(QMessageBox::Critical, QStringLiteral("Непредвиденная ошибка"));
  }
  return 0;
}
