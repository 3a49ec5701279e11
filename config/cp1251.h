// Windows-1251, the single-byte code page of every file the program reads or writes.
#pragma once

#include <string>
#include <string_view>

namespace cp1251 {

std::string ToUtf8(std::string_view cp1251Bytes);
// Characters with no Windows-1251 form, and invalid UTF-8, become '?'.
std::string FromUtf8(std::string_view utf8);
// True when the text survives FromUtf8 and ToUtf8 unchanged: valid UTF-8 made
// only of characters the code page has.
bool Representable(std::string_view utf8);
// Case folding of one Windows-1251 byte (Latin and Cyrillic letters, Ё/ё).
char FoldCase(char c);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace cp1251
