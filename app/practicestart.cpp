// The practice class's options, its simulated port and the program's new start.
#include "app/practicestart.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include "console/practicefolder.h"
#include "controllersim/simulatedport.h"

namespace {

constexpr char kPractice[] = "practice";
constexpr char kPracticeTrace[] = "practice-trace";
constexpr char kPracticeStudents[] = "practice-students";

struct LivelinessName {
  const char* option;
  controllersim::Liveliness liveliness;
};
constexpr LivelinessName kLivelinessNames[] = {
    {"quiet", controllersim::Liveliness::Quiet},
    {"ordinary", controllersim::Liveliness::Ordinary},
    {"busy", controllersim::Liveliness::Busy},
};

// The value of "--name VALUE" or "--name=VALUE" at arguments[i]; moves i past it.
bool TakeValue(const std::vector<std::string>& arguments, size_t& i, const std::string& name,
               std::string& value) {
  const std::string option = "--" + name;
  if (arguments[i] == option && i + 1 < arguments.size()) {
    value = arguments[++i];
    return true;
  }
  if (arguments[i].rfind(option + "=", 0) == 0) {
    value = arguments[i].substr(option.size() + 1);
    return true;
  }
  return false;
}

// Each trace line appended to the file at once, for whoever reads it meanwhile.
void AddProblem(QString& problems, const QString& problem) {
  if (!problems.isEmpty()) problems += QLatin1Char('\n');
  problems += problem;
}

void TraceToFile(controllersim::SimulatedLine& line, const QString& path, QString& problem) {
  auto file = std::make_shared<QFile>(path);
  if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    AddProblem(problem, QStringLiteral("Трасса учебного класса не записывается в %1").arg(path));
    return;
  }
  line.SetTraceListener([file](const std::string& text) {
    file->write(text.c_str(), static_cast<qint64>(text.size()));
    file->write("\n", 1);
    file->flush();
  });
}

}  // namespace

void AddPracticeOptions(QCommandLineParser& parser) {
  parser.addOption({QString::fromLatin1(kPractice),
                    QStringLiteral("Открыть учебный класс: пульт работает с учебным контроллером "
                                   "внутри программы, без настоящего контроллера.")});
  parser.addOption({QString::fromLatin1(kPracticeTrace),
                    QStringLiteral("Записывать обмен с учебным контроллером в файл (как трасса "
                                   "эмулятора)."),
                    QStringLiteral("файл")});
  parser.addOption({QString::fromLatin1(kPracticeStudents),
                    QStringLiteral("Как часто вызывают ученики учебного класса: quiet (тихий), "
                                   "ordinary (обычный), busy (шумный)."),
                    QStringLiteral("класс")});
}

std::unique_ptr<PracticeSession> TakePracticeStart(AppEnvironment& environment) {
  bool practice = false;
  std::string tracePath;
  std::string students;
  std::vector<std::string> rest;
  const std::vector<std::string>& all = environment.arguments;
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i] == std::string("--") + kPractice) {
      practice = true;
    } else if (TakeValue(all, i, kPracticeTrace, tracePath) ||
               TakeValue(all, i, kPracticeStudents, students)) {
      // Either of them means the practice class too, never a classroom file.
      practice = true;
    } else {
      rest.push_back(all[i]);
    }
  }
  if (!practice) return nullptr;
  environment.arguments = rest;

  auto session = std::make_unique<PracticeSession>();
  session->line = std::make_shared<controllersim::SimulatedLine>();
  bool known = students.empty();
  for (const LivelinessName& name : kLivelinessNames) {
    if (students != name.option) continue;
    session->liveliness = name.liveliness;
    known = true;
  }
  if (!known) {
    AddProblem(session->problem,
               QStringLiteral("Неизвестное значение --practice-students «%1» (можно quiet, "
                              "ordinary, busy): класс обычный.")
                   .arg(QString::fromStdString(students)));
  }
  environment.settingsPath = console::PracticeSettingsPath(environment.settingsPath);
  const std::string folderProblem = console::PreparePracticeFolder(environment.settingsPath);
  if (!folderProblem.empty()) AddProblem(session->problem, QString::fromStdString(folderProblem));
  environment.portLockName = console::kPracticeLockName;
  // Practice leaves the system's file types to the real console.
  environment.registerFileType = false;
  environment.practice = true;
  environment.serialPortFactory = [line = session->line] {
    return std::make_unique<controllersim::SimulatedSerialPort>(line);
  };
  if (!tracePath.empty()) {
    TraceToFile(*session->line, QString::fromStdString(tracePath), session->problem);
  }
  return session;
}

bool StartProgram(bool practice, QString& problem) {
  const QStringList arguments =
      practice ? QStringList{QStringLiteral("--") + QString::fromLatin1(kPractice)} : QStringList{};
  if (QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments)) return true;
  problem = practice ? QStringLiteral("Учебный класс не открылся: программа не запустилась.")
                     : QStringLiteral("Пульт не запустился заново.");
  return false;
}
