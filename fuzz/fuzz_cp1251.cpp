// Fuzz target: Windows-1251 to UTF-8 and back, decoding of broken UTF-8, and
// the case folding used for INI names.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/cp1251.h"
#include "fuzz/fuzzinput.h"

namespace {

// Strict UTF-8 check (no overlong forms, no surrogates, nothing past U+10FFFF).
bool ValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n;
    unsigned cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 1, cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 2, cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 3, cp = b & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // Code page to UTF-8 is total and gives valid UTF-8 that converts back to the
  // same bytes, the unassigned 0x98 included.
  const std::string utf8 = cp1251::ToUtf8(bytes);
  FUZZ_CHECK(ValidUtf8(utf8));
  FUZZ_CHECK(cp1251::FromUtf8(utf8) == bytes);
  FUZZ_CHECK(cp1251::Representable(utf8));

  // Any text, valid UTF-8 or not: never longer in bytes, and what it gives is
  // a fixed point of the round trip. It is representable exactly when the
  // first unrepresentable character is not found, which is where the
  // conversion first puts a '?' that was not there.
  const std::string back = cp1251::FromUtf8(bytes);
  FUZZ_CHECK(back.size() <= bytes.size());
  FUZZ_CHECK(cp1251::FromUtf8(cp1251::ToUtf8(back)) == back);
  const auto bad = cp1251::FirstUnrepresentable(bytes);
  FUZZ_CHECK(bad.has_value() == !cp1251::Representable(bytes));
  if (bad) {
    FUZZ_CHECK(bad->offset < bytes.size() && !bad->character.empty());
    FUZZ_CHECK(cp1251::Representable(bytes.substr(0, bad->offset)));
    FUZZ_CHECK(cp1251::FromUtf8(bad->character) == std::string(1, '?') ||
               !ValidUtf8(bad->character));
  }
  // Folding UTF-8 agrees with folding the code page's bytes.
  if (!bad) {
    std::string folded = back;
    for (char& c : folded) c = cp1251::FoldCase(c);
    FUZZ_CHECK(cp1251::FromUtf8(cp1251::FoldUtf8(bytes)) == folded);
  }
  // Valid UTF-8 keeps its ASCII where it was: the count of ASCII bytes matches.
  if (ValidUtf8(bytes)) {
    size_t asciiIn = 0, asciiOut = 0;
    for (char c : bytes) asciiIn += static_cast<unsigned char>(c) < 0x80;
    for (char c : back) asciiOut += static_cast<unsigned char>(c) < 0x80;
    FUZZ_CHECK(asciiOut >= asciiIn);
  }

  // Case folding: idempotent, and case-insensitive comparison is an
  // equivalence that agrees with comparing folded texts.
  const size_t half = size / 2;
  const std::string a = bytes.substr(0, half);
  const std::string b = bytes.substr(half, half);
  std::string fa = a, fb = b;
  for (char& c : fa) c = cp1251::FoldCase(c);
  for (char& c : fb) c = cp1251::FoldCase(c);
  for (char c : fa) FUZZ_CHECK(cp1251::FoldCase(c) == c);
  FUZZ_CHECK(cp1251::EqualsIgnoreCase(a, a));
  FUZZ_CHECK(cp1251::EqualsIgnoreCase(a, fa));
  FUZZ_CHECK(cp1251::EqualsIgnoreCase(a, b) == cp1251::EqualsIgnoreCase(b, a));
  FUZZ_CHECK(cp1251::EqualsIgnoreCase(a, b) == (fa == fb));
  // Folding never joins two letters of different meaning: a byte folds to a
  // byte whose character is the same letter, so the UTF-8 length class holds.
  for (char c : a) {
    const char f = cp1251::FoldCase(c);
    FUZZ_CHECK((static_cast<unsigned char>(c) < 0x80) == (static_cast<unsigned char>(f) < 0x80));
  }
  return 0;
}
