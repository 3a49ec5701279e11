// Program entry of the teacher's console.
#include <QApplication>
#include <QFileInfo>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/consolewindow.h"
#include "app/instancechannel.h"
#include "app/environment.h"
#include "app/prompter.h"
#include "app/technician.h"
#include "app/translation.h"
#include "console/classroomstate.h"

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

// Qt's own start-up options, which QApplication takes out of the command line:
// accepted here so that they are not refused as unknown, and kept out of the help.
void AcceptQtOptions(QCommandLineParser& parser) {
  const char* const withValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                   "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                   "display", "geometry", "style", "stylesheet", "title", "name",
                                   "qmljsdebugger"};
  const char* const flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
  for (const char* name : withValue) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : flags) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
}

void DescribeCommandLine(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      QStringLiteral("Vormik — пульт преподавателя лингафонного кабинета."));
  // Qt's options are single-dash words ("-platform offscreen").
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
  AcceptQtOptions(parser);
}

QStringList ArgumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
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
// display is needed. Returns the exit code, or -1 when the console should
// start; platformNamed tells whether "-platform" chose Qt's platform.
int AnswerCommandLine(int argc, char** argv, bool& platformNamed) {
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
  platformNamed = parser.isSet(QStringLiteral("platform"));
  if (parser.isSet(QStringLiteral("version"))) {
    Print(stdout, QStringLiteral("vormik %1\n").arg(QStringLiteral(VORMIK_VERSION)));
    return 0;
  }
  if (const int code = AnswerTechnicianOptions(parser); code >= 0) return code;
  if (parser.isSet(QStringLiteral("help"))) {
    // An application object only for Qt's Russian headings of the help text.
    QCoreApplication core(argc, argv);
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
  for (const QString& name : folder.entryList(QDir::Files)) icon.addFile(folder.filePath(name));
  return icon;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("vormik"));
  QCoreApplication::setApplicationVersion(QStringLiteral(VORMIK_VERSION));
  bool platformNamed = false;
  const int answered = AnswerCommandLine(argc, argv, platformNamed);
  if (answered >= 0) return answered;

#ifndef _WIN32
  // Without a display Qt aborts with a cryptic message; say what to do instead.
  if (!platformNamed && !HaveDisplay()) {
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

  QApplication application(argc, argv);
  // Message box buttons and file dialogs in Russian, like the console's own texts.
  InstallQtRussianTranslation(application);
  QApplication::setWindowIcon(ApplicationIcon());
  // Lets a Wayland desktop match the window to the menu entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("vormik"));
  try {
    // After QApplication, which has taken its own options out of argv.
    AppEnvironment environment = AppEnvironment::FromProcess(argc, argv);
    // A file opened from the file manager goes to the console already running
    // for these settings; this start then ends.
    const QString channelName =
        InstanceChannel::NameFor(QString::fromStdString(environment.settingsPath));
    if (!environment.arguments.empty()) {
      const QString file = QFileInfo(QString::fromStdString(environment.arguments.front()))
                               .absoluteFilePath();
      if (InstanceChannel::HandOver(channelName, file)) return 0;
    }
    QtPrompter prompter;
    ConsoleWindow form(ClassRoomDescription, std::move(environment), prompter);
    InstanceChannel channel;
    channel.Listen(channelName);
    QObject::connect(&channel, &InstanceChannel::fileReceived, &form,
                     &ConsoleWindow::OpenClassroomFromOutside);
    form.show();
    application.exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QStringLiteral("Vormik"), QString::fromUtf8(error.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, QStringLiteral("Vormik"),
                          QStringLiteral("Непредвиденная ошибка"));
  }
  return 0;
}
