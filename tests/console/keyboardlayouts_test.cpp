// The Russian letters and the US keys they share, read both ways.
#include "console/keyboardlayouts.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using console::LatinKeyOfRussianLetter;
using console::RussianLetterOnLatinKey;

TEST(KeyboardLayouts, EveryRussianLetterHasItsOwnKeyAndComesBackFromIt) {
  std::set<char32_t> keys;
  for (char32_t letter = U'а'; letter <= U'я'; ++letter) {
    const char32_t key = LatinKeyOfRussianLetter(letter);
    ASSERT_NE(key, 0u) << static_cast<unsigned>(letter);
    keys.insert(key);
    EXPECT_EQ(RussianLetterOnLatinKey(key), letter);
    // Capitals as the menus' letters are written.
    EXPECT_EQ(LatinKeyOfRussianLetter(letter - (U'а' - U'А')), key);
  }
  keys.insert(LatinKeyOfRussianLetter(U'Ё'));
  EXPECT_EQ(keys.size(), 33u);
}

TEST(KeyboardLayouts, KnownKeysEitherCaseAndCharactersOnNoSharedKey) {
  // The menu bar's letters, the two rows' ends; 0 where no Russian letter
  // shares the key.
  const struct {
    char32_t latin;
    char32_t russian;
  } table[] = {{U'a', U'ф'}, {U'C', U'с'}, {U'e', U'у'}, {U'Y', U'н'}, {U'h', U'р'},
               {U'r', U'к'}, {U'`', U'ё'}, {U'[', U'х'}, {U']', U'ъ'}, {U';', U'ж'},
               {U'\'', U'э'}, {U',', U'б'}, {U'.', U'ю'}, {U'Q', U'й'}, {U'm', U'ь'},
               {U'1', 0},    {U'0', 0},    {U' ', 0},    {U'-', 0},    {U'/', 0},
               {U'\\', 0},   {U'é', 0},    {U'ä', 0},    {U'Ω', 0},    {0, 0}};
  for (const auto& row : table) {
    EXPECT_EQ(RussianLetterOnLatinKey(row.latin), row.russian) << static_cast<unsigned>(row.latin);
  }
  // Latin letters are not Russian ones, nor the Ukrainian letters beside them.
  for (char32_t c : {U'a', U'Z', U'і', U'ї', U'є', U'ґ'}) {
    EXPECT_EQ(LatinKeyOfRussianLetter(c), 0u) << static_cast<unsigned>(c);
  }
}

}  // namespace
