// One table, read either way.
#include "console/keyboardlayouts.h"

#include <array>
#include <utility>

namespace console {
namespace {

// The keys in their rows, small letters; Ё left of 1.
constexpr std::array<std::pair<char32_t, char32_t>, 33> kSameKey{{
    {U'`', U'ё'}, {U'q', U'й'}, {U'w', U'ц'}, {U'e', U'у'}, {U'r', U'к'}, {U't', U'е'},
    {U'y', U'н'}, {U'u', U'г'}, {U'i', U'ш'}, {U'o', U'щ'}, {U'p', U'з'}, {U'[', U'х'},
    {U']', U'ъ'}, {U'a', U'ф'}, {U's', U'ы'}, {U'd', U'в'}, {U'f', U'а'}, {U'g', U'п'},
    {U'h', U'р'}, {U'j', U'о'}, {U'k', U'л'}, {U'l', U'д'}, {U';', U'ж'}, {U'\'', U'э'},
    {U'z', U'я'}, {U'x', U'ч'}, {U'c', U'с'}, {U'v', U'м'}, {U'b', U'и'}, {U'n', U'т'},
    {U'm', U'ь'}, {U',', U'б'}, {U'.', U'ю'},
}};

char32_t SmallLatin(char32_t c) { return c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c; }

// А–Я are U+0410–U+042F, а–я U+0430–U+044F; Ё U+0401, ё U+0451.
char32_t SmallRussian(char32_t c) {
  if (c >= U'А' && c <= U'Я') return c + (U'а' - U'А');
  if (c == U'Ё') return U'ё';
  return c;
}

}  // namespace

char32_t RussianLetterOnLatinKey(char32_t latin) {
  const char32_t small = SmallLatin(latin);
  for (const auto& [key, letter] : kSameKey) {
    if (key == small) return letter;
  }
  return 0;
}

char32_t LatinKeyOfRussianLetter(char32_t letter) {
  const char32_t small = SmallRussian(letter);
  for (const auto& [key, russian] : kSameKey) {
    if (russian == small) return key;
  }
  return 0;
}

}  // namespace console
