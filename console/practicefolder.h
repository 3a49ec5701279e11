// Where the practice class keeps what it writes: a folder of its own beside
// the settings file, with its own settings, classroom file, journal and
// reports, so nothing of practice reaches a real lesson's files.
#pragma once

#include <string>

namespace console {

inline constexpr char kPracticeFolder[] = "practice";
// Said in the window title, the status strip, the journal and the report.
inline constexpr char kPracticeName[] = "Учебный класс";
// The port's name in the practice settings, and so in the status strip.
inline constexpr char kPracticePortName[] = "Учебный класс";
inline constexpr char kPracticeClassroomFile[] = "учебный класс.cld";
// Follows the date in the practice journal's file name.
inline constexpr char kPracticeJournalTag[] = " учебный класс";
// The named port lock of the practice class: never the real controller's.
inline constexpr char kPracticeLockName[] = "VormikPracticeClass";

// "<settings folder>/practice/vormik.ini" for the settings path of the program.
std::string PracticeSettingsPath(const std::string& settingsPath);

// Makes the practice folder with its settings and a classroom of sixteen named
// students where they are missing (a teacher's own changes stay). "" when it
// is ready, otherwise why not, in Russian.
std::string PreparePracticeFolder(const std::string& practiceSettingsPath);

// "Учебный класс — <title>": the window title while practising.
std::string PracticeTitle(const std::string& title);

}  // namespace console
