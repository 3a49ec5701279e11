// Classroom files on disk: byte order marks and undefined bytes kept through a
// load and a save, and names the file cannot hold refused before anything is
// written.
#include <gtest/gtest.h>
#include <iconv.h>

#include <fstream>
#include <sstream>
#include <string>

#include "config/classroomplan.h"
#include "config/cp1251.h"
#include "config/inifile.h"
#include "platform/system.h"
#include "tests/support/tempdir.h"

namespace {

using classroom::ClassroomPlan;
using ini::Encoding;
using testsupport::TempDir;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The C library's converter: independent of the program's own.
std::string Iconv(const std::string& utf8, const char* to) {
  iconv_t cd = iconv_open(to, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(utf8.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  char* o = &out[0];
  size_t inLeft = utf8.size(), outLeft = out.size();
  const bool ok = iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  out.resize(ok ? out.size() - outLeft : 0);
  return out;
}

ClassroomPlan Plan(bool unicodeNames) {
  ClassroomPlan plan;
  for (int i = 0; i < kDeskCount; ++i) {
    plan[i] = {10 * i, 100 + i, i % 2 == 0, "Ученик " + std::to_string(i + 1)};
  }
  plan[0].studentName = "Иванова Ёлка";
  plan[1].studentName = unicodeNames ? "Renée 中" : "Ёжик";
  plan[2].studentName = "A\u0098B";  // 0x98 in Windows-1251
  return plan;
}

// Every key of every desk, so an unchanged save gives the same bytes.
std::string PlanText(const ClassroomPlan& plan) {
  std::string text;
  for (int n = 1; n <= kDeskCount; ++n) {
    const classroom::DeskPlan& d = plan[n - 1];
    text += "[Desk" + std::to_string(n) + "]\r\nCoordinateLeft=" + std::to_string(d.left) +
            "\r\nCoordinateTop=" + std::to_string(d.top) + "\r\nVisible=" +
            (d.visible ? "1" : "0") + "\r\nStudentName=" + d.studentName + "\r\n";
  }
  return text;
}

struct EncodingRow {
  const char* name;
  Encoding encoding;
  std::string (*encode)(const std::string& utf8);
};

const EncodingRow kEncodings[] = {
    {"Windows-1251", Encoding::Windows1251,
     [](const std::string& utf8) { return cp1251::FromUtf8(utf8); }},
    {"UTF-8 BOM", Encoding::Utf8Bom,
     [](const std::string& utf8) { return "\xEF\xBB\xBF" + utf8; }},
    {"UTF-16LE BOM", Encoding::Utf16LeBom,
     [](const std::string& utf8) { return "\xFF\xFE" + Iconv(utf8, "UTF-16LE"); }},
    {"UTF-16BE BOM", Encoding::Utf16BeBom,
     [](const std::string& utf8) { return "\xFE\xFF" + Iconv(utf8, "UTF-16BE"); }},
};

// Loaded, saved unchanged: the same bytes. Changed and saved: exactly the
// changed plan in the same encoding, one [Desk1], the mark kept.
TEST(ClassroomFileEncoding, LoadAndSaveKeepTheEncodingByteForByte) {
  TempDir dir;
  for (const EncodingRow& row : kEncodings) {
    SCOPED_TRACE(row.name);
    const bool unicode = row.encoding != Encoding::Windows1251;
    const ClassroomPlan plan = Plan(unicode);
    const std::string path = dir.File("plan.cld");
    const std::string original = row.encode(PlanText(plan));
    ASSERT_GT(original.size(), 100u);
    if (!unicode) {
      ASSERT_NE(original.find("\r\nStudentName=A\x98" "B\r\n"), std::string::npos);
    }
    WriteBytes(path, original);

    const classroom::LoadedClassroom loaded = classroom::LoadClassroomFile(path);
    ASSERT_TRUE(loaded.result.ok());
    EXPECT_EQ(loaded.document.encoding(), row.encoding);
    for (int i = 0; i < kDeskCount; ++i) EXPECT_EQ(loaded.plan[i], plan[i]) << "desk " << i + 1;

    classroom::SaveResult saved = classroom::SaveClassroomFile(path, loaded.plan);
    ASSERT_TRUE(saved.ok()) << classroom::SaveFailureMessage(saved, path);
    EXPECT_EQ(ReadBytes(path), original);

    ClassroomPlan changed = loaded.plan;
    changed[0].left = 777;
    changed[0].studentName = "Пётр «Первый»";
    saved = classroom::SaveClassroomFile(path, changed);
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved.encoding, row.encoding);
    EXPECT_EQ(ReadBytes(path), row.encode(PlanText(changed)));
  }
}

// Read with U+FFFD where it does not decode, kept byte for byte until changed,
// and UTF-16 still after a change: a write never turns its encoding over.
TEST(ClassroomFileEncoding, BrokenUtf16StaysUtf16) {
  const struct {
    std::string bytes;
    Encoding encoding;
    std::string utf8;  // what reads back after a write of k=v
  } rows[] = {
      {std::string("\xFF\xFE[\0a\0]\0\n\0x\0=\0\xD8", 15), Encoding::Utf16LeBom,
       "[a]\nx=\uFFFD\r\nk=v\r\n"},                                      // odd last byte
      {std::string("\xFF\xFE[\0a\0]\0\n\0x\0=\0\x00\xD8", 16), Encoding::Utf16LeBom,
       "[a]\nx=\uFFFD\r\nk=v\r\n"},                                      // lone high surrogate
      {std::string("\xFE\xFF\0[\0a\0]\0\n\0x\0=\xDC\x00", 16), Encoding::Utf16BeBom,
       "[a]\nx=\uFFFD\r\nk=v\r\n"},                                      // lone low surrogate
  };
  for (const auto& row : rows) {
    ini::IniDocument doc = ini::IniDocument::Parse(row.bytes);
    EXPECT_EQ(doc.encoding(), row.encoding);
    EXPECT_EQ(doc.ReadString("a", "x", "-"), "\uFFFD");
    EXPECT_EQ(doc.Serialize(), row.bytes);
    doc.WriteString("a", "k", "v");
    const bool big = row.encoding == Encoding::Utf16BeBom;
    EXPECT_EQ(doc.Serialize(), (big ? "\xFE\xFF" : "\xFF\xFE") +
                                   Iconv(row.utf8, big ? "UTF-16BE" : "UTF-16LE"));
  }
}

TEST(ClassroomFileEncoding, UnicodeNamesFoldByCharacterAndValuesCountCharacters) {
  ini::IniDocument doc = ini::IniDocument::Parse(
      "\xEF\xBB\xBF[Стол]\r\nИмя=Ёж\r\nБитый=a\xFF" "b\r\n[Ш]\r\nk=1\r\n");
  EXPECT_EQ(doc.ReadString("СТОЛ", "имя", "-"), "Ёж");
  EXPECT_EQ(doc.ReadString("и", "k", "-"), "-");  // Ш and и share a lead byte only
  EXPECT_EQ(doc.ReadString("Стол", "Битый", "-"), "a\uFFFDb");
  doc.WriteString("стол", "ИМЯ", "Renée");
  EXPECT_EQ(doc.Serialize(), "\xEF\xBB\xBF[Стол]\r\nИмя=Renée\r\nБитый=a\xFF" "b\r\n[Ш]\r\nk=1\r\n");
  std::string longName;
  for (int i = 0; i < 3000; ++i) longName += "ж";
  doc.WriteString("Стол", "Имя", longName);
  EXPECT_EQ(doc.ReadString("Стол", "Имя", ""), longName.substr(0, 2 * ini::kMaxValueLength));
}

// "Renée 中" would be saved as "Ren?e ?": refused, with the desk and the
// character named, and the file left as it was. A UTF-8 file holds it.
TEST(ClassroomSave, ANameTheFileCannotHoldIsRefusedBeforeWriting) {
  TempDir dir;
  const std::string path = dir.File("plan.cld");
  const std::string before = cp1251::FromUtf8(PlanText(Plan(false)));
  WriteBytes(path, before);
  ClassroomPlan plan = Plan(false);
  plan[3].studentName = "Renée 中";

  const classroom::SaveResult refused = classroom::SaveClassroomFile(path, plan);
  EXPECT_EQ(refused.status, classroom::SaveStatus::UnstorableName);
  ASSERT_TRUE(refused.name.has_value());
  EXPECT_EQ(refused.name->deskNumber, 4);
  EXPECT_EQ(refused.name->character, "é");
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(classroom::SaveFailureMessage(refused, path),
            "Имя ученика за столом 4 «Renée 中» содержит символ «é», который нельзя сохранить "
            "в файле кабинета. Исправьте имя и сохраните снова.");
  // A new file is Windows-1251 too.
  EXPECT_EQ(classroom::SaveClassroomFile(dir.File("new.cld"), plan).status,
            classroom::SaveStatus::UnstorableName);
  EXPECT_FALSE(platform::FileExists(dir.File("new.cld")));

  WriteBytes(path, "\xEF\xBB\xBF" + PlanText(Plan(true)));
  ASSERT_TRUE(classroom::SaveClassroomFile(path, plan).ok());
  EXPECT_EQ(classroom::LoadClassroomFile(path).plan[3].studentName, "Renée 中");
}

}  // namespace
