// Nothing the teacher made is lost: the save question before a plan is
// replaced or the console closes, saves that write only when asked, files
// that are refused without touching the plan, and names kept as typed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "config/classroomplan.h"
#include "config/inifile.h"
#include "console/consolemodel.h"
#include "platform/system.h"
#include "scriptedcontroller.h"
#include "tests/support/tempdir.h"

using namespace console;

namespace {

constexpr char kSaveQuestion[] = "Сохранить конфигурацию кабинета?";

class KeepingWork : public ::testing::Test {
 protected:
  KeepingWork()
      : model(room, controller, [] { return true; }, user,
              {dir.File("vormik.ini"), dir.File("vormik")}) {
    Write("vormik.ini",
          "[Interface]\r\nClassRoomConfigurationFile=" + dir.File("room.cld") + "\r\n");
    Write("room.cld", "[Desk1]\r\nVisible=1\r\nStudentName=Old\r\n");
    Write("other.cld", "[Desk2]\r\nVisible=1\r\nStudentName=Other\r\n");
    model.LoadClassroom();
  }
  void Write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(platform::ReplaceFileAtomically(dir.File(name), bytes));
  }
  std::string Bytes(const std::string& name) const {
    std::string bytes;
    platform::ReadWholeFile(dir.File(name), bytes);
    return bytes;
  }
  std::string SavedName(const std::string& name, int deskNumber) const {
    return ini::IniDocument::Load(dir.File(name))
        .ReadString(classroom::DeskSection(deskNumber), "StudentName", "<none>");
  }
  // Renames desk 1 as a teacher does: the box opens, the name is typed, Enter.
  void Rename(const std::string& name) {
    model.BeginNameEditing(0);
    model.TypeName(0, name);
    model.PressEnterInName(0);
  }

  testsupport::TempDir dir;
  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  ConsoleModel model;
};

// Each command that replaces the plan or ends the console, against each
// answer to the save question.
TEST_F(KeepingWork, TheSaveQuestionComesBeforeAPlanIsReplaced) {
  enum class Command { Open, Standard, Close };
  struct Row {
    Command command;
    Answer answer;
    bool saved;     // room.cld holds the renamed desk
    bool replaced;  // the command went on
  };
  const Row rows[] = {
      {Command::Open, Answer::Yes, true, true},
      {Command::Open, Answer::No, false, true},
      {Command::Open, Answer::Cancel, false, false},
      {Command::Standard, Answer::Yes, true, true},
      {Command::Standard, Answer::No, false, true},
      {Command::Standard, Answer::Cancel, false, false},
      {Command::Close, Answer::Yes, true, true},
      {Command::Close, Answer::No, false, true},
      {Command::Close, Answer::Cancel, false, false},
  };
  for (const Row& row : rows) {
    const std::string name = "row " + std::to_string(static_cast<int>(row.command)) + "/" +
                             std::to_string(static_cast<int>(row.answer));
    Write("room.cld", "[Desk1]\r\nVisible=1\r\nStudentName=Old\r\n");
    ASSERT_TRUE(model.OpenClassroomFile(dir.File("room.cld"))) << name;
    Rename("New");
    user.questions.clear();
    user.threeWayAnswers = {row.answer};
    user.answer = true;  // "Продолжить?" of the standard classroom
    user.openName = dir.File("other.cld");
    const size_t sent = controller.sent.size();

    bool wentOn = true;
    switch (row.command) {
      case Command::Open:
        model.OpenClassroom();
        wentOn = model.classroomFile() == dir.File("other.cld");
        break;
      case Command::Standard:
        model.CreateStandardClassroom();
        wentOn = model.WindowTitle() == "Vormik (новый кабинет)";
        break;
      case Command::Close:
        wentOn = model.ConfirmClose();
        break;
    }
    ASSERT_FALSE(user.questions.empty()) << name;
    EXPECT_EQ(user.questions.front(), kSaveQuestion) << name;
    EXPECT_EQ(SavedName("room.cld", 1), row.saved ? "New" : "Old") << name;
    EXPECT_EQ(wentOn, row.replaced) << name;
    // An opened file is what the screen shows: nothing left to save.
    if (row.command == Command::Open && row.replaced) EXPECT_FALSE(model.classroomChanged());
    if (!row.replaced) {
      // "Отмена": one question, nothing sent, the plan and its change as they were.
      EXPECT_EQ(user.questions.size(), 1u) << name;
      EXPECT_EQ(controller.sent.size(), sent) << name;
      EXPECT_EQ(model.plan()[0].studentName, "New") << name;
      EXPECT_TRUE(model.classroomChanged()) << name;
      EXPECT_EQ(model.classroomFile(), dir.File("room.cld")) << name;
    }
  }
  EXPECT_TRUE(user.messages.empty()) << user.messages.front();
}

TEST_F(KeepingWork, NamesAreKeptWhenTheBoxIsLeft) {
  struct Row {
    const char* how;
    std::function<void(ConsoleModel&)> leave;
    const char* name;
    bool changed;
  };
  const Row rows[] = {
      {"focus lost", [](ConsoleModel& m) { m.FinishNameEditing(0); }, "Typed", true},
      {"click elsewhere", [](ConsoleModel& m) { m.EndNameEditing(); }, "Typed", true},
      {"double click on another name", [](ConsoleModel& m) { m.BeginNameEditing(5); }, "Typed",
       true},
      {"a desk button", [](ConsoleModel& m) { m.ListenTo(3); }, "Typed", true},
      {"Escape", [](ConsoleModel& m) { m.CancelNameEditing(0); }, "Old", false},
  };
  for (const Row& row : rows) {
    model.OpenClassroomFile(dir.File("room.cld"));
    model.BeginNameEditing(0);
    model.TypeName(0, "Typed");
    row.leave(model);
    EXPECT_FALSE(model.EditingName(0)) << row.how;
    EXPECT_EQ(model.plan()[0].studentName, row.name) << row.how;
    EXPECT_EQ(model.classroomChanged(), row.changed) << row.how;
  }
  // Leaving a box whose name did not change leaves the plan unchanged.
  model.OpenClassroomFile(dir.File("room.cld"));
  model.BeginNameEditing(0);
  model.EndNameEditing();
  EXPECT_FALSE(model.classroomChanged());
}

TEST_F(KeepingWork, AHugeNameNeverReachesTheFile) {
  std::string huge(64u << 20, 'x');
  huge[10] = '\0';
  model.BeginNameEditing(0);
  model.TypeName(0, huge);
  model.PressEnterInName(0);
  const std::string& kept = model.plan()[0].studentName;
  EXPECT_EQ(kept.size(), classroom::kMaxStudentNameCharacters);
  EXPECT_EQ(kept.find('\0'), std::string::npos);
  ASSERT_TRUE(model.SaveCurrentClassroom());
  EXPECT_EQ(SavedName("room.cld", 1), kept);  // read back whole, not cut
  EXPECT_LT(Bytes("room.cld").size(), 4096u);
}

// Files that are no classroom: refused with a message naming them; the plan,
// the current file and vormik.ini stay.
TEST_F(KeepingWork, OnlyAClassroomFileBecomesCurrent) {
  ASSERT_EQ(::mkdir(dir.File("folder.cld").c_str(), 0700), 0);
  ASSERT_EQ(::mkfifo(dir.File("fifo.cld").c_str(), 0600), 0);
  Write("notes.cld", "Просто текст\r\n[Section]\r\nKey=1\r\n");
  const char png[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe";
  Write("random.cld", std::string(png, sizeof png - 1));
  const std::pair<const char*, const char*> rows[] = {
      {"missing.cld", "не найден"},
      {"folder.cld", "не файл кабинета, а папка или устройство"},
      {"fifo.cld", "не файл кабинета, а папка или устройство"},
      {"/dev/null", "не файл кабинета, а папка или устройство"},
      {"notes.cld", "не файл описания кабинета"},
      {"random.cld", "не файл описания кабинета"},
  };
  Rename("Edited");
  const std::string settingsBefore = Bytes("vormik.ini");
  for (const auto& [file, why] : rows) {
    const std::string path = file[0] == '/' ? std::string(file) : dir.File(file);
    user.messages.clear();
    EXPECT_FALSE(model.OpenClassroomFile(path)) << file;
    ASSERT_EQ(user.messages.size(), 1u) << file;
    EXPECT_NE(user.messages[0].find("«" + path + "»"), std::string::npos) << user.messages[0];
    EXPECT_NE(user.messages[0].find(why), std::string::npos) << user.messages[0];
    EXPECT_EQ(model.plan()[0].studentName, "Edited") << file;
    EXPECT_TRUE(model.classroomChanged()) << file;
    EXPECT_EQ(model.classroomFile(), dir.File("room.cld")) << file;
    EXPECT_EQ(Bytes("vormik.ini"), settingsBefore) << file;

    // Named by the settings (at start-up): the same message, once.
    Write("vormik.ini", "[Interface]\r\nClassRoomConfigurationFile=" + path + "\r\n");
    user.messages.clear();
    model.LoadClassroom();
    ASSERT_EQ(user.messages.size(), 1u) << file;
    EXPECT_NE(user.messages[0].find(why), std::string::npos) << user.messages[0];
    EXPECT_EQ(model.plan()[0].studentName, "Edited") << file;
    EXPECT_EQ(model.classroomFile(), dir.File("room.cld")) << file;
    Write("vormik.ini", settingsBefore);
  }
}

TEST_F(KeepingWork, DesksOutsideThePlanAreBroughtInsideUntilSaved) {
  const std::string file =
      "[Desk1]\r\nCoordinateLeft=900\r\nCoordinateTop=30\r\nVisible=1\r\n"
      "[Desk2]\r\nCoordinateLeft=-5000\r\nCoordinateTop=-5000\r\nVisible=0\r\n"
      "[Desk3]\r\nCoordinateLeft=300\r\nCoordinateTop=-7\r\nVisible=1\r\n"
      "[Desk4]\r\nCoordinateLeft=-100\r\nCoordinateTop=2000\r\nVisible=1\r\n";
  Write("far.cld", file);
  model.SetPlanArea(700, 450);
  ASSERT_TRUE(model.OpenClassroomFile(dir.File("far.cld")));
  const auto& plan = model.plan();
  EXPECT_EQ(std::make_pair(plan[0].left, plan[0].top), std::make_pair(700 - kDeskPanelWidth, 30));
  EXPECT_EQ(std::make_pair(plan[1].left, plan[1].top), std::make_pair(-5000, -5000));  // hidden
  EXPECT_EQ(std::make_pair(plan[2].left, plan[2].top), std::make_pair(300, -7));       // reachable
  EXPECT_EQ(std::make_pair(plan[3].left, plan[3].top), std::make_pair(0, 450 - kDeskPanelHeight));
  EXPECT_TRUE(model.classroomChanged());  // the screen differs from the file
  EXPECT_EQ(Bytes("far.cld"), file);
}

}  // namespace
