// The two keyboard layouts of a Russian classroom PC on the same keys: the
// US layout's characters and the Russian (ЙЦУКЕН) letters. A menu's Alt
// letter is Russian; a teacher of English often has the Latin layout on, and
// the same key should still open the menu.
#pragma once

namespace console {

// The Russian letter (small) on the key that carries `latin` (either case) in
// the US layout; 0 for a character no Russian letter shares a key with.
char32_t RussianLetterOnLatinKey(char32_t latin);

// The US layout's character (small) on the key of the Russian `letter` (either
// case); 0 for a character that is not a Russian letter.
char32_t LatinKeyOfRussianLetter(char32_t letter);

}  // namespace console
