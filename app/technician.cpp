// --list-ports and --find-controller: the port list and the search, printed.
#include "app/technician.h"

#include <cstdio>
#include <string>
#include <vector>

#include "link/portsearch.h"
#include "platform/portlist.h"

namespace {

constexpr char kListPorts[] = "list-ports";
constexpr char kFindController[] = "find-controller";
constexpr int kNotFound = 1;

void Print(std::FILE* stream, const std::string& utf8) {
  std::fputs(QString::fromStdString(utf8).toLocal8Bit().constData(), stream);
  std::fflush(stream);
}

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
  const SearchResult result = FindController(
      candidates, [](const std::string& name) {
        const ProbeOutcome outcome = ProbePort(name);
        Print(stderr, ProbeOutcomeText(name, outcome) + "\n");
        return outcome;
      });
  if (!result.found) {
    Print(stderr, result.tried.empty()
                      ? "Контроллер не найден: нет ни одного порта для проверки.\n"
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
  if (parser.isSet(QString::fromLatin1(kListPorts))) return ListPorts();
  if (parser.isSet(QString::fromLatin1(kFindController))) return FindControllerPort();
  return -1;
}
