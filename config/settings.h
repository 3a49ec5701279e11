// The program's settings file vormik.ini: where it lives, its keys, its first-run text.
#pragma once

#include <string>

namespace settings {

inline constexpr char kFileName[] = "vormik.ini";

inline constexpr char kCommunication[] = "Communication";
inline constexpr char kPortName[] = "PortName";
inline constexpr char kReadThreadStop[] = "ReadThreadStop";
inline constexpr char kNotWaitCSFromMC[] = "NotWaitCSFromMC";

inline constexpr char kInterface[] = "Interface";
inline constexpr char kMainFormWidth[] = "MainFormWidth";
inline constexpr char kMainFormHeight[] = "MainFormHeight";
inline constexpr char kEnableToMoveDesks[] = "EnableToMoveDesks";
inline constexpr char kNumberOfVisibleDesk[] = "NumberOfVisibleDesk";
inline constexpr char kClassRoomConfigurationFile[] = "ClassRoomConfigurationFile";
inline constexpr char kCallSound[] = "CallSound";  // 1: a beep on each new call
// The window as the teacher left it (client area, screen coordinates); absent
// until it was first moved, resized or maximized.
inline constexpr char kWindowLeft[] = "WindowLeft";
inline constexpr char kWindowTop[] = "WindowTop";
inline constexpr char kWindowWidth[] = "WindowWidth";
inline constexpr char kWindowHeight[] = "WindowHeight";
inline constexpr char kWindowMaximized[] = "WindowMaximized";

inline constexpr char kLesson[] = "Lesson";
inline constexpr char kRoundSeconds[] = "RoundSeconds";  // the monitoring round's step
inline constexpr int kDefaultRoundSeconds = 20;
inline constexpr int kMinRoundSeconds = 3;
inline constexpr int kMaxRoundSeconds = 600;

inline constexpr char kNumDesk[] = "NumDesk";
inline constexpr char kDesk2DeskCommIF[] = "Desk2DeskCommIF";

inline constexpr char kDefaultPortName[] = "COM1";
inline constexpr char kDefaultWidth[] = "700";
inline constexpr char kDefaultHeight[] = "500";
inline constexpr int kDefaultNumberOfVisibleDesk = 16;
// Stands for "no classroom file".
inline constexpr char kNoClassroomFile[] = "***";

// The executable's folder followed by "vormik.ini".
std::string SettingsPathFor(const std::string& executablePath);
std::string SettingsPath();

// The user's configuration folder from the environment values (null when
// unset): $XDG_CONFIG_HOME (absolute values only) or $HOME/.config; on Windows
// the home argument carries %APPDATA% and is the folder. "" when none is known.
std::string UserConfigFolder(const char* xdgConfigHome, const char* home);

// Where vormik.ini lives. Beside the executable (the portable layout) when its
// folder is writable and the program is not installed; otherwise
// <userConfigFolder>/vormik/vormik.ini. Without a user folder it stays beside
// the executable, where every read then gives its default.
std::string ChooseSettingsPath(const std::string& executablePath, bool folderWritable,
                               bool installed, const std::string& userConfigFolder);

// The choice for a running program: its folder's writability, whether it runs
// from an installed prefix (platform::InstalledInPrefix), the environment. A
// chosen user folder is created (mode 0700) so that the first start can write.
std::string SettingsPathOfProgram(const std::string& executablePath);

// The 35 lines of the first-run file, Windows-1251, CR LF.
std::string DefaultSettingsText();
// Writes the first-run file when no file exists at the path; never rewrites
// an existing one. False when it had to write and could not.
bool WriteDefaultSettingsIfMissing(const std::string& settingsPath);

// "Desk7", "dc7_8": key names of desk n (1..16) and pair k (1..8).
std::string DeskKey(int deskNumber);
std::string PairCodeKey(int pairNumber);

}  // namespace settings
