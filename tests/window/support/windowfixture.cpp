// Sets up the folder, the settings, the emulator and the window for one test.
#include "support/windowfixture.h"

#include <unistd.h>

#include <QDir>
#include <QTest>

#include "config/inifile.h"
#include "config/settings.h"
#include "platform/system.h"
#include "tests/support/locknames.h"

using testsupport::TraceLine;

namespace {

constexpr int kColumns[] = {8, 176, 376, 544};
constexpr int kRowStep = 104;

// Removed from /dev/shm when the test process ends.
std::string UniqueLockName() { return testsupport::TestLockName("window"); }

}  // namespace

QPoint WindowFixture::StoredPosition(int deskNumber) {
  const int index = deskNumber - 1;
  return QPoint(kColumns[index % 4], (index / 4) * kRowStep);
}

WindowFixture::WindowFixture(WindowOptions options) : askToSaveOnClose_(options.askToSaveOnClose) {
  if (dir_.path().empty()) {
    error_ = "no temporary folder";
    return;
  }
  std::string portName = options.portName;
  if (options.startEmulator) {
    emulator_ = std::make_unique<testsupport::EmulatorProcess>(options.emulatorOptions);
    if (!emulator_->Started()) {
      error_ = "emulator: " + emulator_->Error();
      return;
    }
    if (portName.empty()) portName = emulator_->linkPath();
  }
  // Never the machine's real serial port.
  if (portName.empty()) portName = dir_.File("no-such-port");

  if (options.settingsAsFolder) {
    if (!QDir().mkpath(QString::fromStdString(settingsPath()))) {
      error_ = "cannot create the folder " + settingsPath();
      return;
    }
  } else if (!options.settingsText.empty()) {
    if (!platform::ReplaceFileAtomically(settingsPath(), options.settingsText)) {
      error_ = "cannot write " + settingsPath();
      return;
    }
  } else if (options.writeSettings && !WriteSettings(options, portName)) {
    return;
  }

  AppEnvironment environment;
  environment.executablePath = dir_.File("vormik");
  environment.settingsPath = settingsPath();
  environment.arguments = options.arguments;
  environment.portLockName = UniqueLockName();
  environment.registerFileType = false;

  session_ = std::make_unique<ConsoleSession>(room_, environment, prompter_);
  form_ = std::make_unique<ConsoleWindow>(*session_);
  if (options.show) {
    form_->show();
    if (!QTest::qWaitForWindowExposed(form_.get())) error_ = "window not exposed";
    // The controller is met behind the shown window; the tests start after it.
    else if (!QTest::qWaitFor([this] { return session_->Started(); }, 30000))
      error_ = "the start-up exchange did not end";
  }
}

WindowFixture::~WindowFixture() {
  if (form_ != nullptr) {
    if (!askToSaveOnClose_) room_.ClassroomChanged = 0;
    form_->close();
    form_.reset();
    session_.reset();
  }
  emulator_.reset();  // after the window has let go of the port
}

bool WindowFixture::WriteSettings(const WindowOptions& options, const std::string& portName) {
  ini::IniDocument document = ini::IniDocument::Parse(settings::DefaultSettingsText());
  document.WriteString(settings::kCommunication, settings::kPortName, portName);
  document.WriteInteger(settings::kCommunication, settings::kReadThreadStop,
                        options.readThreadStop);
  document.WriteInteger(settings::kCommunication, settings::kNotWaitCSFromMC,
                        options.notWaitCSFromMC);
  if (options.writeClassroom) {
    if (!WriteClassroom()) return false;
    document.WriteString(settings::kInterface, settings::kClassRoomConfigurationFile,
                         classroomPath());
  }
  for (const auto& [section, key, value] : options.extraSettings) {
    document.WriteString(section, key, value);
  }
  try {
    document.Save(settingsPath());
  } catch (const ini::WriteError& e) {
    error_ = e.what();
    return false;
  }
  return true;
}

bool WindowFixture::WriteClassroom() {
  ini::IniDocument document;
  for (int n = 1; n <= kDeskCount; ++n) {
    const std::string section = "Desk" + std::to_string(n);
    const QPoint at = StoredPosition(n);
    document.WriteInteger(section, "CoordinateLeft", at.x());
    document.WriteInteger(section, "CoordinateTop", at.y());
    document.WriteInteger(section, "Visible", 1);
    document.WriteString(section, "StudentName", "Ученик " + std::to_string(n));
  }
  try {
    document.Save(classroomPath());
  } catch (const ini::WriteError& e) {
    error_ = e.what();
    return false;
  }
  return true;
}

void WindowFixture::ShowDesk(int deskNumber, bool shown) {
  const console::DeskPlanEntry& at = form_->model().plan()[deskNumber - 1];
  PlaceDesk(deskNumber, QPoint(at.left, at.top), shown);
}

void WindowFixture::PlaceDesk(int deskNumber, QPoint at, bool shown) {
  form_->Apply([&](console::ConsoleModel& m) { m.PlaceDesk(deskNumber - 1, at.x(), at.y(), shown); });
}

void WindowFixture::ClickButton(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton);
}

size_t WindowFixture::TraceMark() const {
  return emulator_ != nullptr ? emulator_->Trace().size() : 0;
}

std::vector<TraceLine> WindowFixture::TraceSince(size_t mark) const {
  if (emulator_ == nullptr) return {};
  std::vector<TraceLine> lines = emulator_->Trace();
  if (mark >= lines.size()) return {};
  return std::vector<TraceLine>(lines.begin() + static_cast<long>(mark), lines.end());
}

std::vector<TraceLine> WindowFixture::FramesSince(size_t mark) const {
  return testsupport::FramesOnly(TraceSince(mark));
}

std::vector<TraceLine> WindowFixture::PollsSince(size_t mark) const {
  return testsupport::PollsOnly(TraceSince(mark));
}

bool WindowFixture::Close() {
  if (form_ == nullptr) return false;
  return form_->close();
}
