// Hostile classroom and settings files: binary data, NUL and invalid bytes,
// lines of "=" only, duplicate sections and keys, 10^5 sections, lines of 10^6
// characters. Loading and saving must not crash, must give the defaults where
// nothing usable is found, and a saved plan must read back as saved.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tempdir.h"
#include "config/classroomplan.h"
#include "config/cp1251.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "platform/system.h"

namespace {

using classroom::ClassroomPlan;

using ScratchDir = testsupport::TempDir;
using classroom::DeskPlan;

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

std::string Repeat(const std::string& piece, size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) out += piece;
  return out;
}

bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : 9;
    if (n == 9 || i + n >= s.size() + (n == 0 ? 1 : 0)) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

// The plan written over every hostile file: every desk differs from the defaults.
ClassroomPlan SamplePlan() {
  ClassroomPlan plan;
  for (int i = 0; i < kDeskCount; ++i) {
    plan[i].left = 10 * i - 40;
    plan[i].top = 7 * i;
    plan[i].visible = i % 3 != 0;
    plan[i].studentName = "Ученик " + std::to_string(i + 1) + (i == 4 ? " \"в кавычках\"" : "");
  }
  return plan;
}

struct HostileCase {
  const char* name;
  std::string text;
  // What loading must give for desk 1 (nullptr: the defaults of a missing section).
  const DeskPlan* desk1;
};

std::vector<HostileCase> Cases() {
  static const DeskPlan kDefault;
  static DeskPlan firstOfDuplicates{5, 0x20, true, "первый"};
  static DeskPlan cutAtNul{1, 0, false, "a"};
  static DeskPlan longName{0, 0, true, std::string(ini::kMaxValueLength, 'x')};
  static DeskPlan afterManySections{3, 4, true, "последний"};

  std::vector<HostileCase> cases;
  cases.push_back({"binary", RandomBytes(2 << 20, 1), nullptr});
  cases.push_back({"binary with brackets and equals",
                   Repeat(RandomBytes(61, 2) + "[Desk1]=\r\n=\x01\xff=", 20000), nullptr});
  cases.push_back({"nul bytes",
                   std::string("[Desk1]\r\nCoordinateLeft=1\0 2\r\nStudentName=a\0b\r\n\0\0[De\0sk2]\r\n",
                               58),
                   &cutAtNul});
  cases.push_back({"invalid bytes",
                   "[Desk1]\r\nStudentName=\x98\xff\xc0\x80\xed\xa0\x80\r\n[\x98\x98]\r\n\x98=\x98\r\n",
                   nullptr});
  cases.push_back({"equals only", Repeat("=\r\n==\r\n= =\r\n[Desk1]\r\n=\r\n", 50000), nullptr});
  cases.push_back({"duplicate sections and keys",
                   cp1251::FromUtf8("[Desk1]\r\nCoordinateLeft=5\r\nCoordinateLeft=6\r\nVisible=1\r\n"
                   "CoordinateTop=0x20\r\nStudentName=первый\r\nSTUDENTNAME=второй\r\n"
                   "[DESK1]\r\nCoordinateLeft=7\r\nStudentName=третий\r\n[Desk1]\r\nVisible=0\r\n"),
                   &firstOfDuplicates});
  {
    std::string many;
    for (int i = 0; i < 100000; ++i) many += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
    many += "[Desk1]\r\nCoordinateLeft=3\r\nCoordinateTop=4\r\nVisible=1\r\nStudentName=последний\r\n";
    cases.push_back({"10^5 sections", cp1251::FromUtf8(many), &afterManySections});
  }
  cases.push_back({"line of 10^6 characters in a value",
                   "[Desk1]\r\nVisible=1\r\nStudentName=" + std::string(1000000, 'x') + "\r\n",
                   &longName});
  cases.push_back({"section, key and bare line of 10^6 characters",
                   "[" + std::string(1000000, 'S') + "]\r\n" + std::string(1000000, 'K') +
                       "=1\r\n" + std::string(1000000, '[') + "\r\n" + std::string(1000000, '='),
                   nullptr});
  cases.push_back({"lone carriage returns, no line end at the end",
                   std::string("[Desk1]\rCoordinateLeft=1\r\r\rVisible=1\rStudentName=a"),
                   nullptr});
  return cases;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The way the console saves: read, change the plan's keys, replace in one step.
void SaveLikeTheConsole(const std::string& path, const ClassroomPlan& plan) {
  std::string existing;
  ASSERT_TRUE(platform::ReadWholeFile(path, existing));
  ini::IniDocument document = ini::IniDocument::Parse(existing);
  classroom::WritePlan(plan, document);
  document.Save(path);
}

TEST(HostileFiles, ClassroomFilesLoadSaveAndReadBack) {
  ScratchDir dir;
  const ClassroomPlan sample = SamplePlan();
  for (const HostileCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("hostile.cld");
    WriteFile(path, c.text);

    const ClassroomPlan loaded = classroom::ReadPlan(ini::IniDocument::Load(path));
    for (int i = 0; i < kDeskCount; ++i) EXPECT_TRUE(ValidUtf8(loaded[i].studentName)) << i;
    for (int i = 0; i < kDeskCount; ++i)
      EXPECT_LE(loaded[i].studentName.size(), 3 * ini::kMaxValueLength) << i;
    if (c.desk1 != nullptr) {
      EXPECT_EQ(loaded[0].left, c.desk1->left);
      EXPECT_EQ(loaded[0].top, c.desk1->top);
      EXPECT_EQ(loaded[0].visible, c.desk1->visible);
      EXPECT_EQ(loaded[0].studentName, c.desk1->studentName);
    }
    // Desks the file does not describe take the defaults.
    EXPECT_EQ(loaded[15], DeskPlan()) << "desk 16";

    // Saving over the hostile file keeps what else it held and reads back.
    SaveLikeTheConsole(path, sample);
    const ClassroomPlan reread = classroom::ReadPlan(ini::IniDocument::Load(path));
    for (int i = 0; i < kDeskCount; ++i) EXPECT_EQ(reread[i], sample[i]) << "desk " << i + 1;
  }
}

TEST(HostileFiles, OtherContentSurvivesASaveUnchanged) {
  // 10^5 foreign sections and duplicates: after a save they read as before.
  ScratchDir dir;
  const std::string path = dir.File("many.cld");
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "[S" + std::to_string(i) + "]\r\nk=v" + std::to_string(i) + "\r\n";
  text += "[Desk3]\r\nOwn=1\r\n[desk3]\r\nCoordinateLeft=99\r\n";
  WriteFile(path, text);
  SaveLikeTheConsole(path, SamplePlan());
  const ini::IniDocument doc = ini::IniDocument::Load(path);
  for (int i : {0, 1, 50000, 99999})
    EXPECT_EQ(doc.ReadString("S" + std::to_string(i), "k", ""), "v" + std::to_string(i));
  EXPECT_EQ(doc.ReadString("Desk3", "Own", ""), "1");
  EXPECT_EQ(doc.ReadInteger("Desk3", "CoordinateLeft", 0), SamplePlan()[2].left);
  // The later duplicate is untouched text.
  std::string saved;
  ASSERT_TRUE(platform::ReadWholeFile(path, saved));
  EXPECT_NE(saved.find("[desk3]\r\nCoordinateLeft=99\r\n"), std::string::npos);
}

TEST(HostileFiles, SettingsFilesGiveDefaultsAndTakeTheClassroomName) {
  ScratchDir dir;
  for (const HostileCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(settings::kFileName);
    WriteFile(path, c.text);
    // An existing file is never rewritten, however broken.
    settings::WriteDefaultSettingsIfMissing(path);
    std::string after;
    ASSERT_TRUE(platform::ReadWholeFile(path, after));
    EXPECT_EQ(after, c.text);

    const ini::IniDocument doc = ini::IniDocument::Load(path);
    for (int n = 1; n <= kDeskCount; ++n) {
      const std::string label = classroom::ReadDeskLabel(doc, n);
      EXPECT_TRUE(ValidUtf8(label));
      EXPECT_LE(label.size(), 2 * classroom::kMaxLabelCharacters);
    }
    for (int k = 1; k <= kPairCount; ++k) EXPECT_TRUE(ValidUtf8(classroom::ReadPairLinkCode(doc, k)));

    // The one key the console writes into its settings: stored, read back,
    // and the rest of the file kept.
    const std::string chosen = "/home/учитель/кабинет 5.cld";
    ini::IniFile(path).WriteString(settings::kInterface, settings::kClassRoomConfigurationFile, chosen);
    EXPECT_EQ(ini::IniFile(path).ReadString(settings::kInterface,
                                            settings::kClassRoomConfigurationFile, "***"),
              chosen);
    ASSERT_TRUE(platform::ReadWholeFile(path, after));
    EXPECT_GE(after.size(), c.text.size());
  }
}

// Peak memory of loading a file of long lines stays a small multiple of the
// file: the reader keeps the text once and an index, nothing per character.
long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
  return -1;
}

// Starts a new peak at the present use, so the peak that follows is the load's.
long ResetPeakRssKb() {
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusKb("VmRSS:");
}

TEST(HostileFiles, MemoryStaysBoundedForLargeFiles) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine: peaks say nothing here";
#endif
  ScratchDir dir;
  const std::string path = dir.File("big.cld");
  // 32 MB: lines of 10^6 characters, 10^5 short sections, NULs and "=" lines.
  std::string text;
  for (int i = 0; i < 24; ++i) text += "[L" + std::to_string(i) + "]\r\nk=" + std::string(1000000, 'x') + "\r\n";
  for (int i = 0; i < 100000; ++i) text += "[S" + std::to_string(i) + "]\r\n=\r\n\0k=v\r\n";
  text += RandomBytes(6 << 20, 3);
  WriteFile(path, text);
  const size_t fileKb = text.size() / 1024;
  text.clear();
  text.shrink_to_fit();

  const long before = ResetPeakRssKb();
  ASSERT_GT(before, 0);
  ASSERT_LE(StatusKb("VmHWM:"), before + 1024) << "the peak could not be reset";
  {
    const ini::IniDocument doc = ini::IniDocument::Load(path);
    const ClassroomPlan plan = classroom::ReadPlan(doc);
    EXPECT_EQ(plan[0], DeskPlan());
    EXPECT_EQ(doc.ReadString("L3", "k", "").size(), ini::kMaxValueLength);
  }
  const long grown = StatusKb("VmHWM:") - before;
  // The text once and the index: no second copy of the text on the way in.
  EXPECT_LT(grown, static_cast<long>(3 * fileKb / 2)) << "file " << fileKb << " kB";
  std::printf("loading a %zu kB hostile file: peak memory grew by %ld kB\n", fileKb, grown);
}

}  // namespace
