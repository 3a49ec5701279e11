// Windows-1251 table, UTF-8 decoding of bad input, and case folding of INI names.
#include "config/cp1251.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#if defined(__GLIBC__)
#include <iconv.h>
#endif

namespace {

std::string Byte(int b) { return std::string(1, static_cast<char>(b)); }

struct CharRow {
  int byte;
  const char* utf8;
};

// Samples from every block of the upper half, the corners included.
const CharRow kCharRows[] = {
    {0x80, "Ђ"},      {0x82, "‚"}, {0x88, "€"}, {0x8F, "Џ"}, {0x96, "–"}, {0x99, "™"}, {0x9F, "џ"},
    {0xA0, "\u00A0"}, {0xA1, "Ў"}, {0xA5, "Ґ"}, {0xA8, "Ё"}, {0xAA, "Є"}, {0xB2, "І"}, {0xB4, "ґ"},
    {0xB8, "ё"},      {0xB9, "№"}, {0xBC, "ј"}, {0xBF, "ї"}, {0xC0, "А"}, {0xDF, "Я"}, {0xE0, "а"},
    {0xFF, "я"},      {0x41, "A"}, {0x00, ""},  // NUL is an ordinary byte
};

TEST(Cp1251, KnownCharactersConvertBothWays) {
  for (const auto& row : kCharRows) {
    const std::string utf8 = row.byte == 0 ? std::string(1, '\0') : std::string(row.utf8);
    EXPECT_EQ(cp1251::ToUtf8(Byte(row.byte)), utf8) << std::hex << row.byte;
    EXPECT_EQ(cp1251::FromUtf8(utf8), Byte(row.byte)) << std::hex << row.byte;
  }
  EXPECT_EQ(cp1251::ToUtf8("\xD1\xF2\xEE\xEB 1"), "Стол 1");
  EXPECT_EQ(cp1251::FromUtf8("Стол 16"), "\xD1\xF2\xEE\xEB 16");
}

// 0x98, unassigned in the code page, too: it reads as U+0098 as on Windows,
// so a name holding it comes back byte for byte.
TEST(Cp1251, EveryByteRoundTripsToADistinctCharacter) {
  std::set<std::string> seen;
  for (int b = 1; b < 256; ++b) {
    const std::string utf8 = cp1251::ToUtf8(Byte(b));
    EXPECT_TRUE(seen.insert(utf8).second) << "two bytes give " << utf8;
    EXPECT_EQ(cp1251::FromUtf8(utf8), Byte(b)) << std::hex << b;
  }
  EXPECT_EQ(cp1251::ToUtf8("a\x98z"), "a\xC2\x98z");
}

#if defined(__GLIBC__)
// The C library's own table is an independent reference for the whole half.
TEST(Cp1251, UpperHalfMatchesTheCLibraryTable) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP1251 in iconv";
  for (int b = 0x80; b < 0x100; ++b) {
    if (b == 0x98) continue;
    char in[1] = {static_cast<char>(b)};
    char out[8] = {};
    char* inp = in;
    char* outp = out;
    size_t inLeft = 1, outLeft = sizeof out;
    ASSERT_NE(iconv(cd, &inp, &inLeft, &outp, &outLeft), static_cast<size_t>(-1)) << b;
    EXPECT_EQ(cp1251::ToUtf8(Byte(b)), std::string(out, outp)) << std::hex << b;
  }
  iconv_close(cd);
}
#endif

TEST(Cp1251, UnmappableAndInvalidUtf8BecomeQuestionMarks) {
  const struct {
    std::string in;
    std::string out;
  } rows[] = {
      {"日本", "??"},                    // no Windows-1251 form
      {"a\xF0\x9F\x98\x80z", "a?z"},     // four-byte character
      {"\xFF", "?"},                     // never a UTF-8 byte
      {"\x80z", "?z"},                   // stray continuation
      {"\xD0", "?"},                     // cut short at the end
      {"\xD0z", "?z"},                   // cut short before ASCII
      {"\xE2\x82z", "?z"},               // one '?' per broken sequence
      {"\xC0\xAF", "??"},                // overlong '/'
      {"\xE0\x80\xAF", "???"},           // overlong three-byte form
      {"\xED\xA0\x80", "???"},           // surrogate
      {"\xF4\x90\x80\x80", "????"},      // beyond U+10FFFF
      {"\xD0\x81\xD1\x91", "\xA8\xB8"},  // Ё ё, valid
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& row : rows) EXPECT_EQ(cp1251::FromUtf8(row.in), row.out) << row.in;
}

// A literal '?' is as representable as any letter: only characters that the
// conversion would turn into '?' (or otherwise change) count against a text.
TEST(Cp1251, RepresentableOnlyWhenTheTextComesBackUnchanged) {
  const struct {
    std::string utf8;
    bool representable;
  } rows[] = {
      {"", true},
      {"/home/teacher/a.cld", true},
      {"/home/учитель/Кабинет №5 «Ёлка» €.cld", true},
      {"/what?/a*b.cld", true},
      {std::string("a\0b", 3), true},
      {"/home/josé/a.cld", false},
      {"/home/教室/a.cld", false},
      {"/a\xF0\x9F\x98\x80.cld", false},  // four-byte character
      {"/a\xEF\xBF\xBD.cld", false},      // U+FFFD
      {"/a\xC2\x98.cld", true},          // U+0098: the unassigned byte reads so
      {"/a\xFF.cld", false},              // not UTF-8
      {"/a\xD0", false},                  // cut short at the end
      {"/a\xC0\xAF", false},              // overlong '/'
  };
  for (const auto& row : rows) {
    EXPECT_EQ(cp1251::Representable(row.utf8), row.representable) << row.utf8;
  }
}

// The name box and the save say which character is refused.
TEST(Cp1251, FirstUnrepresentableNamesTheCharacter) {
  const struct {
    std::string utf8;
    size_t offset;
    std::string character;
  } rows[] = {
      {"Renée 中", 3, "é"},
      {"Ёлка 中 é", 9, "中"},
      {"ok\xF0\x9F\x98\x80", 2, "\xF0\x9F\x98\x80"},
      {"Иван\xD0", 8, "\xD0"},        // cut short
      {"a\xE2\x82z", 1, "\xE2\x82"},  // a broken sequence as one
  };
  for (const auto& row : rows) {
    const auto bad = cp1251::FirstUnrepresentable(row.utf8);
    ASSERT_TRUE(bad.has_value()) << row.utf8;
    EXPECT_EQ(bad->offset, row.offset) << row.utf8;
    EXPECT_EQ(bad->character, row.character) << row.utf8;
  }
  EXPECT_FALSE(cp1251::FirstUnrepresentable("Кабинет №5 «Ёлка» €?").has_value());
}

// UTF-8 names fold like their Windows-1251 bytes; a UTF-8 continuation byte
// is never folded on its own ("Ш" D0 A8 and "и" D0 B8 differ only there).
TEST(Cp1251, FoldUtf8FoldsCharactersNotBytes) {
  EXPECT_EQ(cp1251::FoldUtf8("ЁЛКА Desk Ґ"), "ёлка desk ґ");
  EXPECT_NE(cp1251::FoldUtf8("Ш"), cp1251::FoldUtf8("и"));
  EXPECT_EQ(cp1251::FoldUtf8("É中\xFF"), "É中\xFF");  // no Windows-1251 form: kept
}

TEST(Cp1251, FoldCaseJoinsExactlyTheLetterPairs) {
  // Upper and lower case of every letter that has both in the code page.
  std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string lower = "abcdefghijklmnopqrstuvwxyz";
  upper += cp1251::FromUtf8("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯЁЂЃЉЊЌЋЏЎЈҐЄЇІЅ");
  lower += cp1251::FromUtf8("абвгдежзийклмнопрстуфхцчшщъыьэюяёђѓљњќћџўјґєїіѕ");
  ASSERT_EQ(upper.size(), lower.size());
  ASSERT_EQ(upper.find('?'), std::string::npos);
  std::set<unsigned char> letters;
  for (size_t i = 0; i < upper.size(); ++i) {
    EXPECT_EQ(cp1251::FoldCase(upper[i]), cp1251::FoldCase(lower[i])) << i;
    EXPECT_NE(upper[i], lower[i]);
    letters.insert(static_cast<unsigned char>(upper[i]));
    letters.insert(static_cast<unsigned char>(lower[i]));
  }
  // Nothing else is joined with anything: folding keeps all other bytes
  // apart from each other and from the letters.
  std::set<char> folded;
  for (int b = 0; b < 256; ++b) {
    if (letters.count(static_cast<unsigned char>(b)) == 0) {
      EXPECT_EQ(cp1251::FoldCase(static_cast<char>(b)), static_cast<char>(b)) << std::hex << b;
    }
    folded.insert(cp1251::FoldCase(static_cast<char>(b)));
  }
  EXPECT_EQ(folded.size(), 256u - upper.size());
}

TEST(Cp1251, EqualsIgnoreCase) {
  const auto cp = [](const char* utf8) { return cp1251::FromUtf8(utf8); };
  EXPECT_TRUE(cp1251::EqualsIgnoreCase("Desk2DeskCommIF", "DESK2DESKCOMMIF"));
  EXPECT_TRUE(cp1251::EqualsIgnoreCase(cp("Ёлка Стол"), cp("ёЛКА сТОЛ")));
  EXPECT_TRUE(cp1251::EqualsIgnoreCase(cp("Ґанок Їжак"), cp("ґАНОК їЖАК")));
  EXPECT_FALSE(cp1251::EqualsIgnoreCase(cp("Ёлка"), cp("Елка")));
  EXPECT_FALSE(cp1251::EqualsIgnoreCase("Desk1", "Desk10"));
  EXPECT_FALSE(cp1251::EqualsIgnoreCase("[a]", "{a}"));  // '[' and '{' differ by 0x20 too
}

}  // namespace
