// Memory of the real window over many clicks against the emulator: the
// resident size after 2,000 operations stays within 1.2 x its size after 100.
// Prints both figures; exits 1 when the bound is broken.
#include <QApplication>
#include <QFile>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "app/consolewindow.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/locknames.h"
#include "tests/support/tempdir.h"

namespace {

// Answers every question No and cancels every dialog: the clicks never wait.
class SilentPrompter : public Prompter {
 public:
  bool AskYesNo(const QString&, const QString&, QMessageBox::Icon) override { return false; }
  void ShowMessage(const QString&, const QString&, QMessageBox::Icon) override {}
  QString ChooseFileToOpen(QWidget*) override { return {}; }
  QString ChooseFileToSave(QWidget*, const QString&, const QString&) override { return {}; }
};

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  testsupport::EmulatorProcess emulator;
  if (!emulator.Started()) {
    std::fprintf(stderr, "emulator: %s\n", emulator.Error().c_str());
    return 2;
  }
  testsupport::TempDir dir;
  std::ofstream(dir.File("vormik.ini"))
      << "[Communication]\r\nPortName=" << emulator.linkPath()
      << "\r\nReadThreadStop=0\r\n[Interface]\r\nEnableToMoveDesks=1\r\n";

  AppEnvironment environment;
  environment.executablePath = dir.File("vormik");
  environment.settingsPath = dir.File("vormik.ini");
  environment.registerFileType = false;
  environment.portLockName = testsupport::TestLockName("memory");
  ClassroomState room;
  SilentPrompter prompter;
  ConsoleWindow window(room, environment, prompter);
  window.Apply([](console::ConsoleModel& m) {
    for (int d = 0; d < kDeskCount; ++d) m.PlaceDesk(d, 8 + 168 * (d % 4), 104 * (d / 4), true);
  });
  window.show();

  std::mt19937 random(7);
  long after100 = 0;
  long after2000 = 0;
  for (int i = 1; i <= 2000; ++i) {
    DeskPanel* desk = window.desks[random() % kDeskCount];
    QAbstractButton* buttons[] = {desk->listen, desk->listen, desk->speak, desk->lineButton,
                                  window.inputButton, window.teacherLineButton};
    buttons[random() % std::size(buttons)]->click();
    if (i % 50 == 0) emulator.Send("led " + std::to_string(1 + random() % 16) + " on");
    QCoreApplication::processEvents();
    if (i == 100) after100 = ResidentKb();
  }
  after2000 = ResidentKb();
  const double ratio = static_cast<double>(after2000) / static_cast<double>(after100);
  std::printf("resident after 100 operations: %ld KB, after 2000: %ld KB, ratio %.3f\n",
              after100, after2000, ratio);
  return ratio <= 1.2 ? 0 : 1;
}
