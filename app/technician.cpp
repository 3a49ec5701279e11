// --list-ports and --find-controller: the port list and the search, printed.
#include "app/technician.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <string>
#include <vector>

#include "link/portsearch.h"
#include "platform/portlist.h"

namespace {

constexpr char kListPorts[] = "list-ports";
constexpr char kFindController[] = "find-controller";
constexpr int kNotFound = 1;

#ifdef _WIN32
// The program has no console of its own: the answer goes to the one it was
// started from, in UTF-8 (the console's OEM code page has no room for it).
void UseStartingConsole() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
      std::freopen("CONOUT$", "w", stdout);
      std::freopen("CONOUT$", "w", stderr);
    }
  }
  SetConsoleOutputCP(CP_UTF8);
}

void Print(std::FILE* stream, const std::string& utf8) {
  std::fputs(utf8.c_str(), stream);
  std::fflush(stream);
}
#else
void UseStartingConsole() {}

void Print(std::FILE* stream, const std::string& utf8) {
  std::fputs(QString::fromStdString(utf8).toLocal8Bit().constData(), stream);
  std::fflush(stream);
}
#endif

int ListPorts() {
  const std::vector<platform::PortInfo> ports = platform::ListSerialPorts();
  if (ports.empty()) Print(stderr, "Последовательные порты не найдены.\n");
  for (const platform::PortInfo& port : ports) {
    Print(stdout, port.name + "\t" + port.description + "\n");
  }
  return 0;
}

// The port that answered on standard output, alone, for scripts; each try on
// standard error, for the technician.
int FindControllerPort() {
  std::vector<std::string> candidates;
  for (const platform::PortInfo& port : platform::ListSerialPorts()) {
    candidates.push_back(port.name);
  }
  const SearchResult result = FindController(candidates, [](const std::string& name) {
    const ProbeOutcome outcome = ProbePort(name);
    Print(stderr, ProbeOutcomeText(name, outcome) + "\n");
    return outcome;
  });
  if (!result.found) {
    Print(stderr, result.tried.empty() ? "Контроллер не найден: нет ни одного порта для проверки.\n"
                                       : "Контроллер не найден: ни один порт не ответил.\n");
    return kNotFound;
  }
  Print(stdout, *result.found + "\n");
  return 0;
}

}  // namespace

void AddTechnicianOptions(QCommandLineParser& parser) {
  parser.addOption({QString::fromLatin1(kListPorts),
                    QStringLiteral("Показать найденные последовательные порты и выйти.")});
  parser.addOption({QString::fromLatin1(kFindController),
                    QStringLiteral("Найти порт, на котором отвечает контроллер, показать его "
                                   "и выйти (код 1, если ни один порт не ответил).")});
}

int AnswerTechnicianOptions(const QCommandLineParser& parser) {
  const bool list = parser.isSet(QString::fromLatin1(kListPorts));
  const bool find = parser.isSet(QString::fromLatin1(kFindController));
  if (!list && !find) return -1;
  UseStartingConsole();
  return list ? ListPorts() : FindControllerPort();
}
