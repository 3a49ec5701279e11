// The console model's classroom files in a private folder: what a load takes
// from the file and the settings, what a save keeps, the refusals, the
// standard classroom, and hostile files.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "config/cp1251.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "console/consolemodel.h"
#include "platform/system.h"
#include "scriptedcontroller.h"
#include "tests/support/tempdir.h"

using namespace console;

namespace {

using Settings = std::vector<std::tuple<std::string, std::string, std::string>>;

class SaveDialogUser : public ScriptedUser {
 public:
  std::vector<std::string> proposed;  // the names the save dialog was opened with
  std::string ChooseFileToSave(const std::string& name, const std::string& folder) override {
    proposed.push_back(name);
    return ScriptedUser::ChooseFileToSave(name, folder);
  }
};

class ConsoleFiles : public ::testing::Test {
 protected:
  ConsoleFiles()
      : model(room, controller, [] { return true; }, user,
              {dir.File("vormik.ini"), dir.File("vormik")}) {}

  // vormik.ini: the first-run text with these values in place.
  void WriteSettings(const Settings& values) {
    ini::IniDocument document = ini::IniDocument::Parse(settings::DefaultSettingsText());
    for (const auto& [section, key, value] : values) document.WriteString(section, key, value);
    document.Save(dir.File("vormik.ini"));
  }
  // A file of the folder, its UTF-8 text stored as Windows-1251.
  void WriteFile(const std::string& name, const std::string& utf8) {
    ASSERT_TRUE(platform::ReplaceFileAtomically(dir.File(name), cp1251::FromUtf8(utf8)));
  }
  std::string Bytes(const std::string& path) const {
    std::string bytes;
    platform::ReadWholeFile(path, bytes);
    return bytes;
  }
  std::string CurrentFile() const {
    return ini::IniDocument::Load(dir.File("vormik.ini"))
        .ReadString(settings::kInterface, settings::kClassRoomConfigurationFile, "<missing>");
  }
  // The four sides of a desk on the plan, for comparing whole plans.
  std::vector<std::tuple<int, int, bool, std::string>> Plan() const {
    std::vector<std::tuple<int, int, bool, std::string>> out;
    for (const DeskPlanEntry& d : model.plan()) out.emplace_back(d.left, d.top, d.visible, d.studentName);
    return out;
  }

  testsupport::TempDir dir;
  ClassroomState room;
  ScriptedController controller;
  SaveDialogUser user;
  ConsoleModel model;
};

TEST_F(ConsoleFiles, LoadTakesThePlanFromTheFileAndLabelsFromTheSettings) {
  WriteSettings({{"NumDesk", "Desk3", "Очень длинная подпись стола"},
                 {"NumDesk", "Desk4", ""},
                 {"Desk2DeskCommIF", "dc5_6", "da"},
                 {"Interface", "EnableToMoveDesks", "0x10"},
                 {"Interface", "ClassRoomConfigurationFile", "room.cld"}});
  // A name without a folder lies beside vormik.ini, not in the working folder.
  WriteFile("room.cld",
            "[Desk3]\r\nCoordinateLeft=0x20\r\nCoordinateTop=-40\r\nVisible=-1\r\n"
            "StudentName=Пётр Ёлкин\r\n[Desk9]\r\nCoordinateLeft=12abc\r\nCoordinateTop=900\r\n"
            "Visible=yes\r\nStudentName=\r\n");
  room.ClassroomChanged = 1;
  model.LoadClassroom();

  const auto& plan = model.plan();
  EXPECT_EQ(plan[2].label, "Очень длинная п");
  EXPECT_EQ(plan[3].label, "");
  EXPECT_EQ(plan[0].label, "Стол 1");
  EXPECT_EQ(room.PairLinkCode[2], "da");
  EXPECT_EQ(room.PairLinkCode[0], "oo");
  EXPECT_EQ(room.MoveDesks, 16);
  EXPECT_EQ(std::tie(plan[2].left, plan[2].top, plan[2].visible), std::make_tuple(32, -40, true));
  EXPECT_EQ(plan[2].studentName, "Пётр Ёлкин");
  EXPECT_EQ(std::tie(plan[8].left, plan[8].top, plan[8].visible), std::make_tuple(0, 900, false));
  EXPECT_EQ(plan[8].studentName, "");
  for (int d : {0, 1, 3, 7, 15}) {
    EXPECT_EQ(std::tie(plan[d].left, plan[d].top, plan[d].visible), std::make_tuple(0, 0, false));
    EXPECT_EQ(plan[d].studentName, "***");
  }
  EXPECT_EQ(model.WindowTitle(), "Vormik (room.cld)");
  EXPECT_TRUE(model.classroomChanged());  // loading never clears a pending change
}

TEST_F(ConsoleFiles, SaveKeepsForeignSectionsAndKeys) {
  WriteSettings({{"Interface", "ClassRoomConfigurationFile", dir.File("room.cld")}});
  WriteFile("room.cld",
            "[School]\r\nRoom=214\r\n[Desk4]\r\nColour=red\r\nCoordinateLeft=5\r\n"
            "[Desk9]\r\nVisible=1\r\n");
  model.LoadClassroom();
  model.PlaceDesk(3, 77, 12, true);
  room.ClassroomChanged = 1;

  model.SaveClassroomShowingErrors();

  EXPECT_TRUE(user.messages.empty());
  EXPECT_FALSE(model.classroomChanged());
  EXPECT_EQ(Bytes(dir.File("room.cld")).rfind("[School]\r\nRoom=214\r\n[Desk4]\r\nColour=red\r\n"
                                               "CoordinateLeft=77\r\n",
                                               0),
            0u);
  // Missing keys are appended to their sections, missing sections at the end.
  const ini::IniDocument saved = ini::IniDocument::Load(dir.File("room.cld"));
  EXPECT_EQ(saved.ReadInteger("Desk4", "CoordinateTop", -1), 12);
  EXPECT_EQ(saved.ReadString("Desk9", "StudentName", "<missing>"), "***");
  EXPECT_EQ(saved.ReadInteger("Desk16", "Visible", -1), 0);
  EXPECT_EQ(CurrentFile(), dir.File("room.cld"));
}

TEST_F(ConsoleFiles, SavesThatCannotWriteLeaveThePlanChanged) {
  WriteSettings({});
  room.ClassroomChanged = 1;
  // No current file: save as proposes no name, and a cancel writes nothing
  // and says nothing.
  EXPECT_FALSE(model.SaveClassroomAs());
  EXPECT_EQ(user.proposed, std::vector<std::string>{""});
  EXPECT_TRUE(user.messages.empty());
  // The plain save without a current file never creates a file named "***".
  model.SaveClassroomShowingErrors();
  EXPECT_EQ(user.messages, std::vector<std::string>{"Unable to write to ***"});
  EXPECT_FALSE(platform::FileExists(dir.File("***")));
  EXPECT_FALSE(platform::FileExists("***"));

  // A folder that does not exist: the chosen name is not stored, nothing moves.
  const std::string settingsBefore = Bytes(dir.File("vormik.ini"));
  const std::string target = dir.File("no-such-folder/room.cld");
  user.saveName = target;
  EXPECT_FALSE(model.SaveClassroomAs());
  EXPECT_EQ(user.messages.back(), "Unable to write to " + target);
  EXPECT_EQ(Bytes(dir.File("vormik.ini")), settingsBefore);
  EXPECT_EQ(model.WindowTitle(), "Vormik (***)");
  EXPECT_TRUE(model.classroomChanged());
}

// vormik.ini would keep such a path with '?' in place of the letters, naming
// no file: the choice is refused with a warning and nothing is stored.
TEST_F(ConsoleFiles, UnstorablePathsAreRefused) {
  WriteSettings({{"Interface", "ClassRoomConfigurationFile", dir.File("room.cld")}});
  WriteFile("room.cld", "[Desk6]\r\nCoordinateLeft=176\r\nCoordinateTop=104\r\nVisible=1\r\n");
  model.LoadClassroom();
  const auto planBefore = Plan();
  const std::string settingsBefore = Bytes(dir.File("vormik.ini"));
  const std::string classroomBefore = Bytes(dir.File("room.cld"));
  for (const std::string folder : {"josé", "教室"}) {
    const std::string chosen = dir.File(folder) + "/a.cld";
    const std::string warning = "Имя файла содержит символы, которые нельзя сохранить в vormik.ini: " +
                                chosen + ". Выберите файл в другой папке или переименуйте его.";
    // Open: refused, the plan stays as it stands.
    model.PlaceDesk(5, 400, 400, true);
    const auto planShown = Plan();
    room.ClassroomChanged = 0;
    user.openName = chosen;
    model.OpenClassroom();
    EXPECT_EQ(user.messages.back(), warning);
    EXPECT_EQ(Plan(), planShown);
    EXPECT_NE(Plan(), planBefore);

    // Save as: abandoned, nothing written anywhere.
    room.ClassroomChanged = 1;
    user.saveName = chosen;
    EXPECT_FALSE(model.SaveClassroomAs());
    EXPECT_EQ(user.messages.back(), warning);
    EXPECT_FALSE(platform::FileExists(chosen));
    EXPECT_TRUE(model.classroomChanged());
  }
  EXPECT_EQ(user.messages.size(), 4u);
  EXPECT_EQ(Bytes(dir.File("vormik.ini")), settingsBefore);
  EXPECT_EQ(Bytes(dir.File("room.cld")), classroomBefore);
}

// Loading and the standard classroom set names without ending an edit;
// dropping that edit later gives back the new name, and a save writes it.
TEST_F(ConsoleFiles, ANameBeingEditedTakesTheLoadedOrStandardName) {
  WriteSettings({{"Interface", "ClassRoomConfigurationFile", dir.File("b.cld")}});
  WriteFile("b.cld", "[Desk1]\r\nVisible=1\r\nStudentName=Новое имя\r\n");
  model.PressEnterInName(0);
  model.TypeName(0, "старое");
  model.LoadClassroom();
  EXPECT_TRUE(model.EditingName(0));
  EXPECT_EQ(model.Display().desks[0].name, "Новое имя");
  model.TypeName(0, "Новое имя typo");
  model.CancelNameEditing(0);
  model.SaveClassroomShowingErrors();
  EXPECT_EQ(ini::IniDocument::Load(dir.File("b.cld")).ReadString("Desk1", "StudentName", ""),
            "Новое имя");

  // The standard classroom first keeps the name being typed, so that the
  // save question knows of it ("Нет" here), then names every desk anew.
  model.PressEnterInName(2);
  model.TypeName(2, "!");
  user.threeWayAnswers = {Answer::No};
  model.CreateStandardClassroom();
  ASSERT_GE(user.questions.size(), 2u);
  EXPECT_EQ(user.questions[user.questions.size() - 2], "Сохранить конфигурацию кабинета?");
  EXPECT_FALSE(model.EditingName(2));
  EXPECT_EQ(model.Display().desks[2].name, "Ученик 3");
}

TEST_F(ConsoleFiles, StandardClassroomShowsTheSetNumberOfDesks) {
  const std::pair<const char*, int> rows[] = {{"5", 5},   {"16", 16},  {"40", 16},     {"0", 0},
                                              {"-1", 0},  {"0x3", 3},  {"many", 16}};
  for (const auto& [setting, shown] : rows) {
    WriteSettings({{"Interface", "NumberOfVisibleDesk", setting},
                   {"NumDesk", "Desk3", "Парта у окна"},
                   {"NumDesk", "Desk4", "Двадцать символов!!!"}});
    room.PairLinkCode[0] = "cb";
    room.ClassroomChanged = 0;
    const size_t sent = controller.sent.size();
    model.CreateStandardClassroom();
    for (int n = 1; n <= kDeskCount; ++n) {
      const DeskPlanEntry& desk = model.plan()[n - 1];
      const int columns[4] = {10, 180, 375, 545};
      EXPECT_EQ(std::tie(desk.left, desk.top, desk.visible),
                std::make_tuple(columns[(n - 1) % 4], 18 + 106 * ((n - 1) / 4), n <= shown))
          << setting << ", desk " << n;
      EXPECT_EQ(desk.studentName, "Ученик " + std::to_string(n));
    }
    EXPECT_EQ(model.plan()[0].label, "Стол 1");
    EXPECT_EQ(model.plan()[2].label, "Парта у окна");
    EXPECT_EQ(model.plan()[3].label, "Двадцать символ");
    EXPECT_TRUE(model.classroomChanged());
    EXPECT_EQ(controller.sent.size() - sent, 4u) << "the reset";
    // Neither the link codes nor the file belong to the plan built here.
    EXPECT_EQ(room.PairLinkCode[0], "cb");
    // A new plan: no file is current, so its first save asks for a name.
    EXPECT_EQ(model.WindowTitle(), "Vormik (новый кабинет)");
    EXPECT_FALSE(model.HasClassroomFile());
  }
}

TEST_F(ConsoleFiles, HostileFilesLoadAndSaveBack) {
  std::mt19937 random(7);
  std::string binary(256 * 1024, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  std::string noEquals;
  for (int i = 0; i < 20000; ++i) noEquals += "[Desk1]\r\nCoordinateLeft 5\r\nVisible\r\n=\r\n";
  std::string longValues = "[Desk2]\r\nStudentName=" + std::string(300000, 'x') +
                                 "\r\nCoordinateLeft=" + std::string(100000, '7') + "\r\n";
  std::string oddBytes = "[Desk3]\r\nStudentName=\x98\x98\xd0\xa0\xff";
  oddBytes += '\0';
  oddBytes += "\x01zz\r\nVisible=1\r\n[\xff\xfe]\r\n\x98=\x98\r\n";
  std::string big = "[Desk4]\r\nVisible=1\r\nCoordinateLeft=44\r\n";
  while (big.size() < 4 * 1024 * 1024) big += "[Junk]\r\nKey=ValueValueValueValue\r\nLine\n\r\r";
  big += "[Desk4]\r\nVisible=0\r\n";

  WriteSettings({{"Interface", "ClassRoomConfigurationFile", dir.File("room.cld")}});
  // Random bytes hold no [DeskN] section: no classroom file, refused with a
  // message naming it.
  ASSERT_TRUE(platform::ReplaceFileAtomically(dir.File("room.cld"), binary));
  model.LoadClassroom();
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(user.messages.back(), "Файл «" + dir.File("room.cld") +
                                      "» — не файл описания кабинета: в нём нет ни одного "
                                      "стола (разделов [Desk1]…[Desk16]).");
  EXPECT_EQ(model.WindowTitle(), "Vormik (***)");
  user.messages.clear();
  for (std::string* bytes : {&noEquals, &longValues, &oddBytes, &big}) {
    ASSERT_TRUE(platform::ReplaceFileAtomically(dir.File("room.cld"), *bytes));
    model.LoadClassroom();
    // The file's readable parts apply; the rest falls back to the defaults.
    const auto& plan = model.plan();
    if (bytes == &big) {
      EXPECT_TRUE(plan[3].visible && plan[3].left == 44);
    } else if (bytes == &longValues) {
      EXPECT_LE(plan[1].studentName.size(), ini::kMaxValueLength);
      EXPECT_EQ(plan[1].left, 0);  // too long to be an integer
    } else if (bytes == &oddBytes) {
      EXPECT_TRUE(plan[2].visible);
    } else if (bytes == &noEquals) {
      EXPECT_FALSE(plan[0].visible || plan[0].left != 0);
    }
    // Saving the plan back works whatever the file held.
    model.SaveClassroomShowingErrors();
    EXPECT_TRUE(user.messages.empty()) << user.messages.back();
  }
}

}  // namespace
