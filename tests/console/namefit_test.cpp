// Names laid out on the desk panel: whole where they fit in the box's lines
// at some font from the largest down, cut with an ellipsis only beyond.
#include <gtest/gtest.h>

#include "console/namefit.h"

namespace {

size_t Letters(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// Every letter half as wide as the font is high; lines 1.25 fonts apart.
const console::NameMeasure kHalfWidth{
    [](const std::string& text, int font) { return static_cast<int>(Letters(text)) * font / 2; },
    [](int font) { return font * 5 / 4; }};

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) {
    if (!all.empty() && all.back() != '-') all += ' ';
    all += line;
  }
  return all;
}

TEST(NameFit, NamesUpToFortyLettersAreWholeBeyondThemCut) {
  // The box of the described size: 108 x 34, fonts 11 down to 8.
  const struct {
    const char* name;
    int font;
    std::vector<std::string> lines;
    bool elided;
  } rows[] = {
      {"", 11, {""}, false},
      {"Ёлкин Пётр", 11, {"Ёлкин Пётр"}, false},
      {"Григорьева Ксения", 11, {"Григорьева Ксения"}, false},
      {"Петрова-Водкина Анна-Мария", 11, {"Петрова-Водкина", "Анна-Мария"}, false},
      {"Константинопольская Александра-Виктория", 11,
       {"Константинопольская", "Александра-Виктория"}, false},
      {"Христорождественская Ефросинья Алексеевна", 10,
       {"Христорождественская", "Ефросинья Алексеевна"}, false},
      {"Христорождественская Ефросинья Алексеевна Сергеевна", 9,
       {"Христорождественская", "Ефросинья Алексеевна", "Сергеевна"}, false},
      {"Христорождественская-Новосельцева Ефросинья-Александра Алексеевна Сергеевна", 8,
       {"Христорождественская-", "Новосельцева Ефросинья-", "Александра Алексеевна…"}, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const console::NameLayout layout = console::FitName(row.name, 108, 34, 11, 8, kHalfWidth);
    EXPECT_EQ(layout.fontPixels, row.font);
    EXPECT_EQ(layout.lines, row.lines);
    EXPECT_EQ(layout.elided, row.elided);
    if (!row.elided) EXPECT_EQ(Joined(layout.lines), row.name);
    for (const std::string& line : layout.lines) {
      EXPECT_LE(kHalfWidth.width(line, layout.fontPixels), 108) << line;
    }
  }
}

TEST(NameFit, AWordWiderThanALineGoesOnLetterByLetter) {
  // 6 letters a line at font 10 in 30 pixels.
  EXPECT_EQ(console::WrapName("Ааааааааааааа Б", 30, 10, kHalfWidth),
            (std::vector<std::string>{"Аааааа", "аааааа", "а Б"}));
  EXPECT_EQ(console::WrapName("Иванов-Петров Ян", 45, 10, kHalfWidth),
            (std::vector<std::string>{"Иванов-", "Петров Ян"}));
  EXPECT_EQ(console::WrapName("Иванов-Петров Ян", 40, 10, kHalfWidth),
            (std::vector<std::string>{"Иванов-", "Петров", "Ян"}));
  // Left whole when asked: the line is then wider than the room.
  EXPECT_EQ(console::WrapName("Ааааааааааааа Б", 30, 10, kHalfWidth, false),
            (std::vector<std::string>{"Ааааааааааааа", "Б"}));
  // A smaller font that keeps every word whole wins over a larger one that
  // would break one: 13 letters need font 8 in 55 pixels.
  const console::NameLayout whole = console::FitName("Ааааааааааааа Бб", 55, 40, 11, 8, kHalfWidth);
  EXPECT_EQ(whole.fontPixels, 8);
  EXPECT_EQ(whole.lines, (std::vector<std::string>{"Ааааааааааааа", "Бб"}));
  // Not one letter fits: each still gets a line, never half a letter.
  EXPECT_EQ(console::WrapName("Ёж", 2, 10, kHalfWidth), (std::vector<std::string>{"Ё", "ж"}));
}

}  // namespace
