// The journal's file: one line per event, on disk for another process at
// once, whole lines after a SIGKILL, and a file it must not write refused.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "console/consolemodel.h"
#include "console/lessonjournal.h"
#include "platform/system.h"
#include "scriptedcontroller.h"
#include "tests/support/eventually.h"
#include "tests/support/fulldisk.h"
#include "tests/support/otheruser.h"
#include "tests/support/tempdir.h"

using namespace console;

namespace {

constexpr int64_t kStartMs = 1796638800000;  // 2026-12-07 10:20:00 UTC

// What another process (cat) reads of the file now.
std::string ReadByAnotherProcess(const std::string& path) {
  std::string text;
  if (FILE* pipe = ::popen(("cat '" + path + "' 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    ::pclose(pipe);
  }
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start != text.size()) lines.push_back(text.substr(start));  // a cut last line
  return lines;
}

struct Lesson {
  explicit Lesson(const std::string& folder)
      : model(room, controller, [] { return true; }, user, {folder + "vormik.ini", ""}),
        journal(
            model, [this] { return now; }, folder) {
    for (int d = 0; d < kDeskCount; ++d) model.PlaceDesk(d, 0, 0, true);
  }
  void Poll(uint16_t lit) {
    model.ApplyIndicators(static_cast<uint8_t>(lit >> 8), static_cast<uint8_t>(lit & 0xFF));
  }
  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  Moment now{kStartMs, 0};
  ConsoleModel model;
  LessonJournal journal;
};

TEST(JournalFile, EachLineIsReadableByAnotherProcessAtOnce) {
  testsupport::TempDir dir;
  Lesson lesson(dir.path() + "/");
  const std::string path = dir.File("lessons/2026-12-07.csv");
  lesson.journal.ConsoleStarted();
  EXPECT_EQ(lesson.journal.path(), path);
  EXPECT_EQ(ReadByAnotherProcess(path),
            std::string(kJournalHeader) + "10:20:00;;;консоль запущена\r\n");
  lesson.now.ms += 2000;
  lesson.Poll(0x0010);
  EXPECT_EQ(Lines(ReadByAnotherProcess(path)).back(), "10:20:02;5;;вызов");
  lesson.model.ListenTo(4);
  EXPECT_EQ(Lines(ReadByAnotherProcess(path)).back(), "10:20:02;5;;вызов принят, ожидание 0:00");
  lesson.journal.ConsoleClosed();
  EXPECT_EQ(Lines(ReadByAnotherProcess(path)).back(), "10:20:02;;;консоль закрыта");
  EXPECT_TRUE(lesson.journal.problem().empty());
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// One row per teacher command, the round as the round: the file of a lesson
// of all-desks commands, a pair, a listen switch and a three-desk round.
TEST(JournalFile, OneRowPerCommandAndTheRoundAsItsStartAndStop) {
  testsupport::TempDir dir;
  Lesson lesson(dir.path() + "/");
  lesson.model.PlaceDesk(15, 0, 0, false);  // desk 16 hidden: "все" means the visible 15
  lesson.model.BeginNameEditing(5);
  lesson.model.TypeName(5, "=Анна");
  lesson.model.PressEnterInName(5);
  auto at = [&](int seconds) { lesson.now.ms = kStartMs + seconds * 1000LL; };
  bool stepping = false;
  lesson.journal.ConsoleStarted();
  at(10);
  lesson.model.AllInPairs();
  at(20);
  lesson.model.ToggleLine();
  lesson.model.AllToLine();
  at(30);
  lesson.model.ResetAll();
  at(40);
  lesson.model.JoinPair(2);
  at(50);
  lesson.model.ListenTo(2);
  at(55);
  lesson.model.ListenTo(5);
  at(60);
  lesson.journal.RoundStarted([&] { return stepping; });
  stepping = true;
  for (int desk : {0, 1, 4}) {
    lesson.Poll(desk == 4 ? 0x0010 : 0);  // desk 5 calls while the round hears it
    lesson.model.ListenTo(desk);
    lesson.now.ms += 5000;
  }
  stepping = false;
  lesson.journal.RoundStopped();
  at(90);
  lesson.model.StopListening(4);

  const std::vector<std::string> lines = Lines(ReadByAnotherProcess(lesson.journal.path()));
  const std::vector<std::string> expected = {
      std::string(kJournalHeader).substr(0, std::string(kJournalHeader).size() - 2),
      "10:20:00;;;консоль запущена",
      // Desk 16 hidden: pair 15-16 stays apart, and "все" are the 15 shown.
      "10:20:10;1–14;;столы 1–14: в пары",
      "10:20:20;1–16;;столы 1–14: пары разъединены / все столы: на линию",
      "10:20:30;1–16;;все столы: сняты с линии",
      "10:20:40;3, 4;;столы 3, 4: в пары",
      // A joined pair is heard together.
      "10:20:50;3, 4;;столы 3, 4: прослушивание начато",
      "10:20:55;3, 4;;столы 3, 4: прослушивание завершено",
      // A name is formula-safe.
      "10:20:55;6;'=Анна;прослушивание начато",
      "10:21:00;;;обход начат",
      "10:21:10;5;;вызов",
      "10:21:15;;;обход завершён, длился 0:15, прослушаны столы 1, 2, 5",
      "10:21:30;5;;прослушивание завершено, длилось 0:20",
  };
  EXPECT_EQ(lines, expected);
}

TEST(JournalFile, DeskNumbersAreListsAndRanges) {
  const std::pair<std::vector<int>, std::string> cases[] = {
      {{}, ""},
      {{4}, "5"},
      {{1, 0}, "1, 2"},
      {{0, 1, 2, 3, 6, 8, 9, 10, 15}, "1–4, 7, 9–11, 16"},
      {{5, 5, 6}, "6, 7"},
  };
  for (const auto& [desks, text] : cases) EXPECT_EQ(DeskNumbersText(desks), text);
}

TEST(JournalFile, AnotherStartTheSameDayAppendsWithoutASecondHeader) {
  testsupport::TempDir dir;
  for (int run = 0; run < 2; ++run) {
    Lesson lesson(dir.path() + "/");
    lesson.journal.ConsoleStarted();
  }
  const std::string text = ReadByAnotherProcess(dir.File("lessons/2026-12-07.csv"));
  EXPECT_EQ(text, std::string(kJournalHeader) +
                      "10:20:00;;;консоль запущена\r\n10:20:00;;;консоль запущена\r\n");
}

TEST(JournalFile, KilledWriterLeavesOnlyWholeLines) {
  testsupport::TempDir dir;
  const std::string path = dir.File("lessons/2026-12-07.csv");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A lesson that never ends: calls light and go out as fast as it can.
    Lesson lesson(dir.path() + "/");
    lesson.journal.ConsoleStarted();
    for (uint32_t i = 0;; ++i) {
      lesson.now.ms += 1000;
      lesson.Poll(static_cast<uint16_t>(i * 40503u));
    }
  }
  struct stat st;
  const bool grew = testsupport::Eventually(
      [&] { return ::stat(path.c_str(), &st) == 0 && st.st_size > 200000; }, 20000);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(grew);
  ASSERT_TRUE(WIFSIGNALED(status));

  const std::string text = ReadByAnotherProcess(path);
  ASSERT_EQ(text.compare(0, 3, "\xEF\xBB\xBF"), 0);
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << "the last line was cut";
  const std::vector<std::string> lines = Lines(text.substr(3));
  ASSERT_GT(lines.size(), 1000u);
  EXPECT_EQ(lines[1], "10:20:00;;;консоль запущена");
  for (size_t i = 2; i < lines.size(); ++i) {
    // Time;desk;name;event, the event one of the call's.
    const std::string& line = lines[i];
    ASSERT_EQ(std::count(line.begin(), line.end(), ';'), 3) << i << ": " << line;
    ASSERT_NE(line.substr(line.rfind(';')).find("вызов"), std::string::npos) << i << ": " << line;
  }
}

struct RefusalCase {
  const char* what;
  void (*plant)(const std::string& folder);
  const char* reason;
};

TEST(JournalFile, RefusesWhatItMustNotWriteAndSaysSoOnce) {
  const RefusalCase cases[] = {
      {"a link planted at the file's place",
       [](const std::string& folder) {
         ::mkdir((folder + "lessons").c_str(), 0700);
         ::symlink((folder + "victim").c_str(), (folder + "lessons/2026-12-07.csv").c_str());
       },
       "ссылка"},
      {"a link in place of the folder",
       [](const std::string& folder) {
         ::mkdir((folder + "elsewhere").c_str(), 0700);
         ::symlink((folder + "elsewhere").c_str(), (folder + "lessons").c_str());
       },
       "папку"},
      {"a folder at the file's place",
       [](const std::string& folder) {
         ::mkdir((folder + "lessons").c_str(), 0700);
         ::mkdir((folder + "lessons/2026-12-07.csv").c_str(), 0700);
       },
       "не файл"},
      {"a file in place of the folder",
       [](const std::string& folder) {
         if (FILE* f = std::fopen((folder + "lessons").c_str(), "w")) std::fclose(f);
       },
       "папку"},
      {"a FIFO at the file's place (opening it must not wait for a writer)",
       [](const std::string& folder) {
         ::mkdir((folder + "lessons").c_str(), 0700);
         ::mkfifo((folder + "lessons/2026-12-07.csv").c_str(), 0600);
       },
       "не файл"},
      {"a hard link to another file of the user",
       [](const std::string& folder) {
         ::mkdir((folder + "lessons").c_str(), 0700);
         ::link((folder + "keep").c_str(), (folder + "lessons/2026-12-07.csv").c_str());
       },
       "ссылка"},
      {"a file of another user",
       [](const std::string& folder) {
         ::mkdir((folder + "lessons").c_str(), 0700);
         const std::string file = folder + "lessons/2026-12-07.csv";
         if (FILE* f = std::fopen(file.c_str(), "w")) std::fclose(f);
         // Only root can give a file away; for anyone else the case is void.
         if (::chown(file.c_str(), 65534, 65534) != 0) ::unlink(file.c_str());
       },
       "другому пользователю"},
  };
  for (const RefusalCase& c : cases) {
    testsupport::TempDir dir;
    const std::string folder = dir.path() + "/";
    ASSERT_TRUE(platform::ReplaceFileAtomically(folder + "keep", "the teacher's own"));
    c.plant(folder);
    if (std::string(c.reason) == "другому пользователю" && ::geteuid() != 0) continue;
    Lesson lesson(folder);
    std::vector<std::string> told;
    lesson.journal.SetProblemListener([&](const std::string& text) { told.push_back(text); });
    lesson.journal.ConsoleStarted();
    lesson.Poll(0x0001);
    lesson.model.ListenTo(0);
    ASSERT_EQ(told.size(), 1u) << c.what;
    EXPECT_NE(told[0].find(c.reason), std::string::npos) << c.what << ": " << told[0];
    EXPECT_EQ(told[0], lesson.journal.problem());
    // The console carried on: the record is kept all the same.
    EXPECT_EQ(lesson.journal.record().calls().size(), 1u) << c.what;
    EXPECT_FALSE(
        testsupport::Eventually([&] { return platform::FileExists(folder + "victim"); }, 0))
        << c.what;
    std::string kept;
    EXPECT_TRUE(platform::ReadWholeFile(folder + "keep", kept));
    EXPECT_EQ(kept, "the teacher's own") << c.what;
  }
}

// A line cut by a crash (or a full disk elsewhere) stays as it is; the next
// start's lines begin on a line of their own.
TEST(JournalFile, TheNextStartBeginsAfterACutLineOnAFreshLine) {
  testsupport::TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("lessons").c_str(), 0700), 0);
  const std::string path = dir.File("lessons/2026-12-07.csv");
  const std::string before = std::string(kJournalHeader) + "10:19:00;;;консоль запущена\r\n10:19";
  ASSERT_TRUE(platform::ReplaceFileAtomically(path, before));
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  Lesson lesson(dir.path() + "/");
  lesson.journal.ConsoleStarted();
  EXPECT_TRUE(lesson.journal.problem().empty()) << lesson.journal.problem();
  EXPECT_EQ(ReadByAnotherProcess(path), before + "\r\n10:20:00;;;консоль запущена\r\n");
}

// A journal on a disk that fills up: each line reaches the file whole or not
// at all, the teacher is told once that it stopped, and the next start (with
// room again) goes on with a fresh line after the last whole one.
TEST(JournalFile, AFullDiskStopsItWithWholeLinesAndSaysSo) {
  testsupport::FullDisk disk;
  if (!disk.reason().empty()) GTEST_SKIP() << disk.reason();
  const std::string folder = disk.path() + "/";
  const std::string path = folder + "lessons/2026-12-07.csv";
  {
    Lesson lesson(folder);
    std::vector<std::string> told;
    lesson.journal.SetProblemListener([&](const std::string& text) { told.push_back(text); });
    lesson.journal.ConsoleStarted();
    disk.Fill();
    // Lines of every length, so that one of them meets the last free bytes.
    for (int i = 0; i < 4000 && told.empty(); ++i) {
      lesson.now.ms += 1000;
      const int desk = i % kDeskCount;
      lesson.model.BeginNameEditing(desk);
      lesson.model.TypeName(desk, std::string(static_cast<size_t>(i % 97), 'x'));
      lesson.model.PressEnterInName(desk);
      lesson.Poll(static_cast<uint16_t>(1u << (i % kDeskCount)));
      lesson.Poll(0);
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("остановлен"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find(path), std::string::npos) << told[0];
    lesson.journal.ConsoleClosed();
  }
  std::string text = ReadByAnotherProcess(path);
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << "a cut line was left";
  disk.Free();
  {
    Lesson next(folder);
    next.journal.ConsoleStarted();
    EXPECT_TRUE(next.journal.problem().empty()) << next.journal.problem();
  }
  const std::string after = ReadByAnotherProcess(path);
  EXPECT_EQ(after.substr(0, text.size()), text);
  EXPECT_EQ(after.substr(text.size()), "10:20:00;;;консоль запущена\r\n");
}

// ---------------------------------------------------------------- another user

// The teacher's journal in a folder another user may write in, or under a
// settings folder another user may change: nothing the other user planted is
// written through, and the teacher's own file stays as it was.
TEST(JournalFile, WhatAnotherUserPlantsIsNeverWrittenThrough) {
  testsupport::OtherUser other;
  if (!other.Ok()) GTEST_SKIP() << other.Reason();
  struct Row {
    const char* what;
    bool groupSettingsFolder;  // else a lessons folder everyone may write
    std::function<int(const std::string& folder, const std::string& victim)> plant;
    const char* reason;
  };
  const Row rows[] = {
      {"a link at the journal's name in a lessons folder everyone may write", false,
       [](const std::string& folder, const std::string& victim) {
         return ::symlink(victim.c_str(), (folder + "lessons/2026-12-07.csv").c_str());
       },
       "ссылка"},
      {"a hard link to the teacher's file (one the other user may write) at the journal's name",
       false,
       [](const std::string& folder, const std::string& victim) {
         return ::link(victim.c_str(), (folder + "lessons/2026-12-07.csv").c_str());
       },
       "ссылка"},
      {"a file of the other user at the journal's name", false,
       [](const std::string& folder, const std::string&) {
         const int fd = ::open((folder + "lessons/2026-12-07.csv").c_str(),
                               O_WRONLY | O_CREAT | O_EXCL, 0666);
         return fd >= 0 ? ::close(fd) : 1;
       },
       "другому пользователю"},
      {"a lessons link in a settings folder the other user's group may write", true,
       [](const std::string& folder, const std::string& victim) {
         const std::string theirs = folder + "theirs";
         if (::mkdir(theirs.c_str(), 0755) != 0) return 1;
         if (::symlink(victim.c_str(), (theirs + "/2026-12-07.csv").c_str()) != 0) return 1;
         return ::symlink(theirs.c_str(), (folder + "lessons").c_str());
       },
       "папку"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    testsupport::TempDir home;
    testsupport::TempDir shared;
    const std::string victim = home.File("victim.txt");
    ASSERT_TRUE(platform::ReplaceFileAtomically(victim, "the teacher's own\n"));
    ASSERT_EQ(::chmod(home.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(victim.c_str(), 0666), 0);
    const std::string folder = shared.path() + "/";
    if (row.groupSettingsFolder) {
      ASSERT_EQ(::chown(shared.path().c_str(), 0, other.gid()), 0);
      ASSERT_EQ(::chmod(shared.path().c_str(), 0770), 0);
    } else {
      ASSERT_EQ(::chmod(shared.path().c_str(), 0755), 0);
      ASSERT_EQ(::mkdir((folder + "lessons").c_str(), 0700), 0);
      ASSERT_EQ(::chmod((folder + "lessons").c_str(), 0777), 0);
    }
    ASSERT_EQ(other.RunAs([&] { return row.plant(folder, victim) == 0 ? 0 : 1; }), 0);
    Lesson lesson(folder);
    lesson.journal.ConsoleStarted();
    lesson.Poll(0x0001);
    EXPECT_NE(lesson.journal.problem().find(row.reason), std::string::npos)
        << lesson.journal.problem();
    std::string kept;
    EXPECT_TRUE(platform::ReadWholeFile(victim, kept));
    EXPECT_EQ(kept, "the teacher's own\n");
  }
}

}  // namespace
