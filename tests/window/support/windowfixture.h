// The real ConsoleWindow in a private folder, optionally wired to the controller
// emulator, for window tests.
#pragma once

#include <QAbstractButton>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/consolewindow.h"
#include "console/classroomstate.h"
#include "support/fakeprompter.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/tempdir.h"

// Usage:
//   WindowOptions options;
//   options.startEmulator = true;          // port = the emulator's pty link
//   options.writeClassroom = true;         // all 16 desks shown at the stored layout
//   WindowFixture fx(options);             // writes vormik.ini, creates and shows the window
//   QVERIFY2(fx.Ok(), fx.Error().c_str());
//   size_t mark = fx.TraceMark();
//   fx.ClickButton(fx.Desk(3)->listen);
//   auto frames = fx.FramesSince(mark);    // register writes the click produced
//   QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kQuestion), 0);
// The destructor closes the window without the save question (unless
// askToSaveOnClose) and stops the emulator afterwards.
struct WindowOptions {
  bool startEmulator = false;
  std::vector<std::string> emulatorOptions;
  // Empty: the emulator's link when it runs, else a device that does not exist.
  std::string portName;
  bool writeSettings = true;  // false: start in an empty folder
  bool settingsAsFolder = false;  // vormik.ini is a folder: a file that cannot be read
  // When not empty: the whole settings file, as it stands (Windows-1251 bytes),
  // instead of the one built from the options below.
  std::string settingsText;
  int readThreadStop = 1;  // no poll unless a test asks for it
  int notWaitCSFromMC = 0;
  // Further settings: {section, key, value}; they replace the defaults.
  std::vector<std::tuple<std::string, std::string, std::string>> extraSettings;
  // Writes classroom.cld (all 16 desks visible at the stored layout, students
  // "Ученик 1".."Ученик 16") and names it as ClassRoomConfigurationFile.
  bool writeClassroom = false;
  std::vector<std::string> arguments;  // the command line after the program name
  bool show = true;
  bool askToSaveOnClose = false;
};

class WindowFixture {
 public:
  explicit WindowFixture(WindowOptions options = {});
  ~WindowFixture();
  WindowFixture(const WindowFixture&) = delete;
  WindowFixture& operator=(const WindowFixture&) = delete;

  // False when the folder or the emulator could not be set up; Error() says why.
  bool Ok() const { return form_ != nullptr; }
  const std::string& Error() const { return error_; }

  ConsoleWindow& form() { return *form_; }
  ClassroomState& room() { return room_; }
  FakePrompter& prompter() { return prompter_; }
  // nullptr when the options started none.
  testsupport::EmulatorProcess* emulator() { return emulator_.get(); }
  const testsupport::TempDir& dir() const { return dir_; }
  std::string settingsPath() const { return dir_.File("vormik.ini"); }
  std::string classroomPath() const { return dir_.File("classroom.cld"); }

  DeskPanel* Desk(int deskNumber) { return form_->plan->desk(deskNumber - 1); }
  // Shows or hides a desk on the model's plan, where it stands, and redraws.
  void ShowDesk(int deskNumber, bool shown);
  // Puts a desk on the model's plan and redraws.
  void PlaceDesk(int deskNumber, QPoint at, bool shown = true);
  void ClickButton(QAbstractButton* button);

  // The number of trace lines so far; FramesSince/PollsSince give what came after.
  size_t TraceMark() const;
  std::vector<testsupport::TraceLine> FramesSince(size_t mark) const;
  std::vector<testsupport::TraceLine> PollsSince(size_t mark) const;

  // The stored desk layout: left and top of desk n's panel.
  static QPoint StoredPosition(int deskNumber);

  // Closes the window as the user would; true when it closed.
  bool Close();

 private:
  bool WriteSettings(const WindowOptions& options, const std::string& portName);
  bool WriteClassroom();
  std::vector<testsupport::TraceLine> TraceSince(size_t mark) const;

  testsupport::TempDir dir_;
  std::unique_ptr<testsupport::EmulatorProcess> emulator_;
  ClassroomState room_;
  FakePrompter prompter_;
  std::unique_ptr<ConsoleSession> session_;
  std::unique_ptr<ConsoleWindow> form_;
  bool askToSaveOnClose_ = false;
  std::string error_;
};
