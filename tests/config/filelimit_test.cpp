// Files above the size limit are refused before they are read (a sparse 64 GB
// file costs no disk space and would otherwise end the program), with a
// status and a message; the settings then read as their defaults.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "config/classroomplan.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "config/settingsload.h"
#include "platform/system.h"

namespace {

namespace fs = std::filesystem;
using ini::LoadStatus;
using platform::ReadStatus;

// A fresh folder under the system's temporary folder (POSIX and Windows alike).
class Folder {
 public:
  Folder() {
    path_ = fs::temp_directory_path() / ("vormik-limit-" + std::to_string(std::random_device()()));
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string path() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

bool MakeSparse(const std::string& path, uint64_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).put('x');
  std::error_code error;
  fs::resize_file(path, size, error);
  return !error;
}

TEST(FileSizeLimit, ReadStatusAtTheLimitAndForWhatIsNoFile) {
  Folder dir;
  const std::string file = dir.File("a.cld");
  std::ofstream(file, std::ios::binary) << std::string(1000, 'x');
  const struct {
    std::string path;
    uint64_t limit;
    ReadStatus status;
  } rows[] = {
      {file, 1000, ReadStatus::Ok},
      {file, 999, ReadStatus::TooLarge},
      {dir.File("none.cld"), 1000, ReadStatus::Missing},
      {dir.File("none") + "/a.cld", 1000, ReadStatus::Missing},
      {dir.path(), 1000, ReadStatus::NotAFile},
#ifdef _WIN32
      {"NUL", 1000, ReadStatus::NotAFile},
#else
      {"/dev/null", 1000, ReadStatus::NotAFile},
#endif
  };
  for (const auto& row : rows) {
    std::string bytes = "kept";
    EXPECT_EQ(platform::ReadFileLimited(row.path, bytes, row.limit), row.status) << row.path;
    EXPECT_EQ(bytes, row.status == ReadStatus::Ok ? std::string(1000, 'x') : "kept") << row.path;
  }
  EXPECT_EQ(ini::CheckFile(file).fileSize, 1000u);
  EXPECT_EQ(ini::CheckFile(dir.path()).status, LoadStatus::NotAFile);
  EXPECT_EQ(ini::CheckFile(dir.File("none.cld")).status, LoadStatus::Missing);
}

TEST(FileSizeLimit, HugeClassroomAndSettingsFilesAreRefusedBeforeTheyAreRead) {
  constexpr uint64_t kHuge = 64ull << 30;
  Folder dir;
  const std::string cld = dir.File("huge.cld");
  const std::string settingsPath = dir.File(settings::kFileName);
  if (!MakeSparse(cld, kHuge) || !MakeSparse(settingsPath, kHuge)) {
    GTEST_SKIP() << "no sparse files of 64 GB here";
  }
  uint64_t size = 0;
  ASSERT_TRUE(platform::FileSize(cld, size));
  EXPECT_EQ(size, kHuge);
  EXPECT_EQ(ini::CheckFile(cld).status, LoadStatus::TooLarge);
  std::string bytes;
  EXPECT_FALSE(platform::ReadWholeFile(cld, bytes));

  const classroom::LoadedClassroom loaded = classroom::LoadClassroomFile(cld);
  EXPECT_EQ(loaded.result.status, LoadStatus::TooLarge);
  EXPECT_EQ(loaded.result.fileSize, kHuge);
  EXPECT_EQ(loaded.plan, classroom::ClassroomPlan());
  EXPECT_EQ(classroom::LoadFailureMessage(loaded.result, "/home/u/huge.cld"),
            "Файл «/home/u/huge.cld» слишком большой (65536 МБ); файлы кабинета не бывают "
            "больше 64 МБ.");
  // A save never replaces a file it could not read.
  const classroom::SaveResult saved = classroom::SaveClassroomFile(cld, loaded.plan);
  EXPECT_EQ(saved.status, classroom::SaveStatus::ExistingUnreadable);
  ASSERT_TRUE(platform::FileSize(cld, size));
  EXPECT_EQ(size, kHuge);
  EXPECT_NE(classroom::SaveFailureMessage(saved, cld).find("слишком большой"), std::string::npos);

  // The settings read as their defaults, and say why once asked.
  ini::IniFile file(settingsPath);
  EXPECT_EQ(file.ReadString(settings::kCommunication, settings::kPortName, "COM1"), "COM1");
  EXPECT_EQ(file.loadResult().status, LoadStatus::TooLarge);
  const settings::LoadedSettings loadedSettings = settings::LoadSettings(settingsPath);
  EXPECT_EQ(loadedSettings.result.status, LoadStatus::TooLarge);
  EXPECT_EQ(settings::SettingsLoadMessage(loadedSettings.result, "vormik.ini"),
            "Файл настроек «vormik.ini» слишком большой (65536 МБ, допустимо не больше 64 МБ). "
            "Порт контроллера не открыт: исправьте или удалите файл настроек и запустите "
            "программу снова.");
  EXPECT_FALSE(settings::SettingsReadable(loadedSettings.result));
  EXPECT_EQ(settings::SettingsLoadMessage(ini::LoadResult{LoadStatus::Missing, 0}, "x"), "");
  EXPECT_TRUE(settings::SettingsReadable(ini::LoadResult{LoadStatus::Missing, 0}));
}

}  // namespace
