// Program entry of the teacher's console.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/Unmane.h"
#include "app/environment.h"
#include "app/prompter.h"
#include "config/classroomdescription.h"

// The live classroom state: built at process start, lives until it ends.
TClassRoomDescription ClassRoomDescription;

namespace {

bool HaveDisplay() {
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
  // Without a display Qt aborts with a cryptic message; say what to do instead.
  if (!HaveDisplay()) {
    std::fputs(
        "vormik: дисплей не найден (DISPLAY и WAYLAND_DISPLAY не заданы).\n"
        "        Запустите программу в графическом сеансе или под Xvfb:\n"
        "        xvfb-run -a build/bin/vormik\n"
        "vormik: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
        "        Run it in a graphical session or under Xvfb:\n"
        "        xvfb-run -a build/bin/vormik\n",
        stderr);
    return 2;
  }

  QApplication application(argc, argv);
  try {
    // After QApplication, which has taken its own options out of argv.
    QtPrompter prompter;
    TForm1 form(ClassRoomDescription, AppEnvironment::FromProcess(argc, argv), prompter);
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
