// INI reading rules and in-place writes, on documents in memory.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "config/cp1251.h"
#include "config/inifile.h"
#include "tests/config/messyini.h"

namespace {

using initests::kMessy;

std::string Cp(const std::string& utf8) { return cp1251::FromUtf8(utf8); }

// ---------------------------------------------------------------- reading

struct ReadRow {
  const char* what;
  std::string text;  // Windows-1251
  const char* section;
  const char* key;
  std::string expected;  // UTF-8; "<default>" when the default must come back
};

TEST(IniRead, ReadingRules) {
  const ReadRow rows[] = {
      {"plain", "[S]\r\nk=v\r\n", "S", "k", "v"},
      {"blanks around everything", "  [ S ]\t \r\n \t k \t=  v w \t\r\n", "S", "k", "v w"},
      {"LF line ends", "[A]\nx=1\n[S]\nk=v\n", "S", "k", "v"},
      {"lone CR line ends", "[A]\rx=1\r[S]\rk=v\r", "S", "k", "v"},
      {"no line end at the end", "[S]\r\nk=v", "S", "k", "v"},
      {"empty value is not missing", "[S]\r\nk=\r\n", "S", "k", ""},
      {"blank value is not missing", "[S]\r\nk=   \r\n", "S", "k", ""},
      {"value holds '='", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
      {"key with inner blank", "[S]\r\nmy key = v\r\n", "S", "MY KEY", "v"},
      {"double quotes removed", "[S]\r\nk=\"  v  \"\r\n", "S", "k", "  v  "},
      {"single quotes removed", "[S]\r\nk='v'\r\n", "S", "k", "v"},
      {"only one pair removed", "[S]\r\nk=\"\"v\"\"\r\n", "S", "k", "\"v\""},
      {"unmatched quotes stay", "[S]\r\nk=\"v'\r\n", "S", "k", "\"v'"},
      {"lone quote stays", "[S]\r\nk=\"\r\n", "S", "k", "\""},
      {"quoted empty", "[S]\r\nk=''\r\n", "S", "k", ""},
      {"first duplicate key wins", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
      {"first duplicate section wins", "[S]\r\na=1\r\n[s]\r\nk=2\r\n", "S", "k", "<default>"},
      {"first section still found", "[S]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "K", "1"},
      {"line without '=' is no key", "[S]\r\nk\r\n", "S", "k", "<default>"},
      {"comment is no key", "[S]\r\n;k=1\r\n", "S", ";k", "<default>"},
      {"indented comment", "[S]\r\n  ;k=1\r\nk=2\r\n", "S", "k", "2"},
      {"key before any section", "k=1\r\n[S]\r\n", "S", "k", "<default>"},
      {"missing section", "[S]\r\nk=1\r\n", "T", "k", "<default>"},
      {"missing key", "[S]\r\nk=1\r\n", "S", "j", "<default>"},
      {"empty key asked", "[S]\r\n=1\r\n", "S", "", "<default>"},
      {"unclosed bracket is no section", "[T\r\nk=1\r\n", "T", "k", "<default>"},
      {"unclosed bracket keeps section", "[S]\r\n[T\r\nk=1\r\n", "S", "k", "1"},
      {"last ']' closes the name", "[a]b]\r\nk=1\r\n", "a]b", "k", "1"},
      {"text after ']'", "[S] trailing\r\nk=1\r\n", "S", "k", "1"},
      {"asked names are trimmed", "[S]\r\nk=1\r\n", " S ", "\tk ", "1"},
      {"Cyrillic names, any case", Cp("[Класс Ёж]\r\nСтол=Иванов Ё.\r\n"), "кЛАСС ёЖ", "СТОЛ",
       "Иванов Ё."},
      {"Ukrainian letters fold", Cp("[Ґанок]\r\nЇжак=1\r\n"), "ґАНОК", "їЖАК", "1"},
      {"Ё is not Е", Cp("[Ёж]\r\nk=1\r\n"), "Еж", "k", "<default>"},
      {"NUL ends the value", std::string("[S]\r\nk=ab\0cd\r\n", 14), "S", "k", "ab"},
      {"NUL in a name", std::string("[S]\r\nk\0=1\r\nk=2\r\n", 16), "S", "k", "2"},
  };
  for (const auto& row : rows) {
    const auto doc = ini::IniDocument::Parse(row.text);
    EXPECT_EQ(doc.ReadString(row.section, row.key, "<default>"), row.expected) << row.what;
  }
}

TEST(IniRead, LongValuesAreCutTo2047Characters) {
  const std::string value(3000, 'x');
  const auto doc = ini::IniDocument::Parse("[S]\r\nk=" + value + "\r\nq=\"" + value + "\"\r\n" +
                                           "c=" + std::string(2047, '\xE9') + "\r\n");
  EXPECT_EQ(doc.ReadString("S", "k", ""), std::string(2047, 'x'));
  EXPECT_EQ(doc.ReadString("S", "q", ""), std::string(2047, 'x'));  // unquoted first, then cut
  EXPECT_EQ(doc.ReadString("S", "c", ""), cp1251::ToUtf8(std::string(2047, '\xE9')));
}

TEST(IniRead, IntegerRules) {
  constexpr int kDefault = -777;
  const struct {
    const char* value;
    int expected;
  } rows[] = {
      // clang-format off
      {"42", 42}, {"-1", -1}, {"+7", 7}, {"007", 7},
      {"0", 0}, {" 5 ", 5}, {"'12'", 12}, {"0x20", 32},
      {"0X1f", 31}, {"0x7FFFFFFF", INT_MAX}, {"0xFFFFFFFF", -1}, {"0x80000000", INT_MIN},
      {"0x100000000", kDefault}, {"0x", kDefault}, {"0xg", kDefault}, {"-0x10", kDefault},
      {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
      {"2147483648", kDefault}, {"-2147483649", kDefault},
      {"99999999999999999999999", kDefault}, {"12abc", kDefault}, {"", kDefault}, {"yes", kDefault},
      {"1.5", kDefault}, {"- 5", kDefault}, {"+", kDefault}, {"1 2", kDefault},
      {"$20", kDefault},
      // clang-format on
  };
  for (const auto& row : rows) {
    const auto doc = ini::IniDocument::Parse(std::string("[S]\r\nk=") + row.value + "\r\n");
    EXPECT_EQ(doc.ReadInteger("S", "k", kDefault), row.expected) << row.value;
  }
  EXPECT_EQ(ini::IniDocument::Parse("[S]\r\n").ReadInteger("S", "k", 16), 16);

  int v = 0;
  EXPECT_TRUE(ini::ParseInteger(" \t700\t", v));
  EXPECT_EQ(v, 700);
  v = 3;
  EXPECT_FALSE(ini::ParseInteger("70O", v));
  EXPECT_EQ(v, 3) << "a failed parse leaves the value alone";
}

// ---------------------------------------------------------------- writing

TEST(IniWrite, ReplacesOnlyTheValueBytes) {
  auto doc = ini::IniDocument::Parse(kMessy);
  doc.WriteInteger("desk1", "COORDINATELEFT", -15);
  doc.WriteString("Desk1", "Visible", "1");  // the first of the two
  std::string expected = kMessy;
  expected.replace(expected.find("10  \r\n"), 2, "-15");
  EXPECT_EQ(doc.Serialize(), expected);
  EXPECT_EQ(doc.ReadInteger("Desk1", "CoordinateLeft", 0), -15);
}

TEST(IniWrite, AppendsKeyAfterLastKeyLineOfFirstSection) {
  auto doc = ini::IniDocument::Parse(kMessy);
  doc.WriteString("Desk1", "StudentName", "Петров");
  std::string expected = kMessy;
  expected.insert(expected.find("Visible=0\r\n") + 11, Cp("StudentName=Петров\r\n"));
  EXPECT_EQ(doc.Serialize(), expected);
  EXPECT_EQ(doc.ReadString("DESK1", "studentname", ""), "Петров");
}

TEST(IniWrite, AppendsKeyToSectionWithoutKeysAndSectionAtTheEnd) {
  auto doc = ini::IniDocument::Parse("[A]\n; note\n[B]\nb=1");
  doc.WriteString("a", "x", "1");
  doc.WriteString("B", "y", "2");  // the last line had no line end
  doc.WriteString("Новый", "z", "3");
  EXPECT_EQ(doc.Serialize(), Cp("[A]\nx=1\r\n; note\n[B]\nb=1\r\ny=2\r\n[Новый]\r\nz=3\r\n"));
}

TEST(IniWrite, NewSectionAfterLastLineWithoutLineEnd) {
  auto doc = ini::IniDocument::Parse("[A]\r\n;end");
  doc.WriteString("B", "k", "v");
  EXPECT_EQ(doc.Serialize(), "[A]\r\n;end\r\n[B]\r\nk=v\r\n");
}

TEST(IniWrite, KeyGoesToFirstOfDuplicateSections) {
  auto doc = ini::IniDocument::Parse("[S]\r\na=1\r\n[T]\r\n[s]\r\nk=old\r\n");
  doc.WriteString("S", "k", "new");
  EXPECT_EQ(doc.Serialize(), "[S]\r\na=1\r\nk=new\r\n[T]\r\n[s]\r\nk=old\r\n");
  EXPECT_EQ(doc.ReadString("S", "k", ""), "new");
}

TEST(IniWrite, SavingAWholeClassroomIntoAnEmptyDocument) {
  ini::IniDocument doc;
  std::string expected;
  for (int n = 1; n <= 16; ++n) {
    const std::string section = "Desk" + std::to_string(n);
    doc.WriteInteger(section, "CoordinateLeft", n * 10);
    doc.WriteInteger(section, "CoordinateTop", -n);
    doc.WriteInteger(section, "Visible", n % 2);
    doc.WriteString(section, "StudentName", "Ученик " + std::to_string(n));
    expected += "[" + section + "]\r\nCoordinateLeft=" + std::to_string(n * 10) +
                "\r\nCoordinateTop=" + std::to_string(-n) + "\r\nVisible=" + std::to_string(n % 2) +
                "\r\nStudentName=" + Cp("Ученик ") + std::to_string(n) + "\r\n";
  }
  EXPECT_EQ(doc.Serialize(), expected);
  // Written again in the same order: nothing moves.
  for (int n = 1; n <= 16; ++n) doc.WriteInteger("Desk" + std::to_string(n), "Visible", n % 2);
  EXPECT_EQ(doc.Serialize(), expected);
}

TEST(IniWrite, ValuesReadBackAsWritten) {
  const std::string values[] = {" padded ", "\tx",   "'q'", "\"x\"",         "\"",
                                "'a\"",     "a=b;c", "",    "Ёжик в тумане", std::string(100, 'z')};
  for (const auto& value : values) {
    ini::IniDocument doc;
    doc.WriteString("S", "k", value);
    EXPECT_EQ(doc.ReadString("S", "k", "<default>"), value) << doc.Serialize();
  }
  ini::IniDocument doc;
  doc.WriteString("S", "k", " a ");
  EXPECT_EQ(doc.Serialize(), "[S]\r\nk=\" a \"\r\n");
}

TEST(IniWrite, LineBreaksInAValueCannotStartNewLines) {
  ini::IniDocument doc;
  doc.WriteString("S", "k", "a\r\n[T]\nx=1");
  EXPECT_EQ(doc.ReadString("S", "k", ""), "a  [T] x=1");
  EXPECT_EQ(doc.ReadString("T", "x", "none"), "none");
  doc.WriteString("S", "n", std::string("cut\0here", 8));
  EXPECT_EQ(doc.ReadString("S", "n", ""), "cut");
}

TEST(IniWrite, NamesThatCannotBeStoredAreRefusedWithoutChange) {
  const struct {
    const char* section;
    const char* key;
  } rows[] = {{"", "k"},   {"  ", "k"}, {"S", ""},     {"S", " \t"}, {"S", "a=b"},
              {"S", ";k"}, {"S", "[k"}, {"a\nb", "k"}, {"S", "k\r"}};
  for (const auto& row : rows) {
    auto doc = ini::IniDocument::Parse(kMessy);
    EXPECT_THROW(doc.WriteString(row.section, row.key, "v"), std::invalid_argument)
        << row.section << "/" << row.key;
    EXPECT_EQ(doc.Serialize(), kMessy);
  }
}

// Writes keep the index up to date in place; after any sequence of them the
// document must behave exactly like the same text parsed afresh.
TEST(IniWrite, RandomWritesMatchAFreshParse) {
  const std::string starts[] = {"", kMessy, "[a]\nk=1", "x=0\r[B]\r[b]\rk=2\r[C", "[A]\n\n"};
  const char* sections[] = {"a", "A", "b", "Desk1", "extra", "Ёж", "ёж", "new"};
  const char* keys[] = {"k", "K", "Visible", "who", "StudentName", "ключ"};
  const char* values[] = {"", "1", "a longer value", " pad ", "'q'", "Ё"};
  std::mt19937 random(7);
  for (const auto& start : starts) {
    auto doc = ini::IniDocument::Parse(start);
    for (int step = 0; step < 200; ++step) {
      const char* section = sections[random() % std::size(sections)];
      const char* key = keys[random() % std::size(keys)];
      const std::string value = values[random() % std::size(values)] + std::to_string(step);
      auto fresh = ini::IniDocument::Parse(doc.Serialize());
      doc.WriteString(section, key, value);
      fresh.WriteString(section, key, value);
      ASSERT_EQ(doc.Serialize(), fresh.Serialize()) << start << " step " << step;
      const auto reparsed = ini::IniDocument::Parse(doc.Serialize());
      for (const char* s : sections) {
        for (const char* k : keys) {
          ASSERT_EQ(doc.ReadString(s, k, "-"), reparsed.ReadString(s, k, "-"))
              << start << " step " << step << " " << s << "/" << k;
        }
      }
    }
  }
}

}  // namespace
