// Windows-1251, the single-byte code page of every file the program reads or writes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cp1251 {

// Every byte has a character: the unassigned 0x98 reads as U+0098 (as the
// system's conversion reads it) and FromUtf8 gives it back.
std::string ToUtf8(std::string_view cp1251Bytes);
// Characters with no Windows-1251 form, and invalid UTF-8, become '?'.
std::string FromUtf8(std::string_view utf8);
// True when the text survives FromUtf8 and ToUtf8 unchanged: valid UTF-8 made
// only of characters the code page has.
bool Representable(std::string_view utf8);
// The first character that keeps a UTF-8 text from being Representable: its
// byte offset and its UTF-8 (for a broken sequence, its bytes).
struct Unrepresentable {
  size_t offset;
  std::string character;
};
std::optional<Unrepresentable> FirstUnrepresentable(std::string_view utf8);
// Case folding of one Windows-1251 byte (Latin and Cyrillic letters, Ё/ё).
char FoldCase(char c);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// A UTF-8 text with each character the code page has folded as FoldCase folds
// its byte; other characters and broken sequences are kept as they are. Two
// names are equal but for case exactly when their folded texts are equal.
std::string FoldUtf8(std::string_view utf8);

}  // namespace cp1251
