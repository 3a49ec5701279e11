// The model's classroom files on a real folder: a file that cannot be loaded
// never costs the console its plan, and a save never damages a name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fcntl.h>

#include <fstream>

#include "console/consolemodel.h"
#include "scriptedcontroller.h"
#include "tests/support/tempdir.h"

using namespace console;

namespace {

class ClassroomFiles : public ::testing::Test {
 protected:
  ClassroomFiles()
      : model(room, controller, nullptr, user, {dir.File("vormik.ini"), dir.File("vormik")}) {}

  void WriteSettings(const std::string& classroomFile) {
    std::ofstream(dir.File("vormik.ini"))
        << "[Interface]\r\nClassRoomConfigurationFile=" << classroomFile << "\r\n";
  }

  testsupport::TempDir dir;
  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  ConsoleModel model;
};

TEST_F(ClassroomFiles, OversizedFileIsRefusedAndThePlanStays) {
  const std::string huge = dir.File("huge.cld");
  const int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 64LL << 30), 0);  // 64 GB, sparse
  ::close(fd);
  WriteSettings("class.cld");
  std::ofstream(dir.File("class.cld")) << "[Desk3]\r\nVisible=1\r\nStudentName=Ann\r\n";
  model.LoadClassroom();
  ASSERT_EQ(model.plan()[2].studentName, "Ann");

  user.openName = huge;  // chosen in the open dialog
  model.OpenClassroom();
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_NE(user.messages[0].find("слишком большой"), std::string::npos) << user.messages[0];
  EXPECT_EQ(model.plan()[2].studentName, "Ann");
  EXPECT_EQ(model.classroomFile(), "class.cld");  // not stored: the next start works

  WriteSettings(huge);  // stored by hand: reported, and the plan stays
  model.LoadClassroom();
  EXPECT_EQ(user.messages.size(), 2u);
  EXPECT_EQ(model.plan()[2].studentName, "Ann");
}

TEST_F(ClassroomFiles, SaveRefusesANameTheFileCannotHold) {
  WriteSettings("class.cld");
  const std::string before = "[Desk1]\r\nVisible=1\r\n";
  std::ofstream(dir.File("class.cld")) << before;
  model.LoadClassroom();
  model.BeginNameEditing(0);
  model.TypeName(0, "Renée 中");
  model.PressEnterInName(0);
  ASSERT_TRUE(model.classroomChanged());
  model.SaveClassroomShowingErrors();
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_NE(user.messages[0].find("é"), std::string::npos) << user.messages[0];
  EXPECT_TRUE(model.classroomChanged());
  std::ifstream in(dir.File("class.cld"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);  // nothing written

  model.BeginNameEditing(0);
  model.TypeName(0, "Ренэ №1");
  model.PressEnterInName(0);
  model.SaveClassroomShowingErrors();
  EXPECT_FALSE(model.classroomChanged()) << user.messages.back();
  model.LoadClassroom();
  EXPECT_EQ(model.plan()[0].studentName, "Ренэ №1");
}

}  // namespace
