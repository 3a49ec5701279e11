// Windows-1251 <-> UTF-8 conversion and the case folding used for INI names.
#include "config/cp1251.h"

#include <array>
#include <cstdint>

#include "config/utf8.h"

namespace cp1251 {
namespace {

// Code points of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
// 0x98 is unassigned in the code page; like the system's own conversion it
// reads as the control character U+0098 and is written back as 0x98, so a
// name holding it survives a load and a save byte for byte.
constexpr char32_t kUpperHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// Upper and lower case of the letters outside А..Я:
// Ђ Ѓ Љ Њ Ќ Ћ Џ Ў Ј Ґ Ё Є Ї І Ѕ.
constexpr unsigned char kCasePairs[][2] = {
    {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D},
    {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4},
    {0xA8, 0xB8}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
};

char32_t CodePointOf(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  return kUpperHalf[b - 0x80];
}

// The byte of a code point, or '?' when the code page has none.
unsigned char ByteOf(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<unsigned char>(0xC0 + (cp - 0x0410));
  for (int i = 0; i < 64; ++i) {
    if (kUpperHalf[i] == cp) return static_cast<unsigned char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string ToUtf8(std::string_view cp1251Bytes) {
  std::string out;
  out.reserve(cp1251Bytes.size() + cp1251Bytes.size() / 2);
  for (char c : cp1251Bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      utf8::Append(out, CodePointOf(b));
    }
  }
  return out;
}

std::string FromUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp = 0;
    size_t length = 1;
    if (utf8::Decode(utf8, i, cp, length)) {
      out += static_cast<char>(ByteOf(cp));
    } else {
      out += '?';
    }
    i += length;
  }
  return out;
}

std::optional<Unrepresentable> FirstUnrepresentable(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    size_t length = 1;
    // '?' is the one byte that also stands for "no form": a real '?' is fine.
    if (!utf8::Decode(utf8, i, cp, length) || (ByteOf(cp) == '?' && cp != '?')) {
      return Unrepresentable{i, std::string(utf8.substr(i, length))};
    }
    i += length;
  }
  return std::nullopt;
}

bool Representable(std::string_view utf8) { return !FirstUnrepresentable(utf8).has_value(); }

std::string FoldUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    size_t length = 1;
    const bool valid = utf8::Decode(utf8, i, cp, length);
    const unsigned char byte = valid ? ByteOf(cp) : '?';
    if (valid && (byte != '?' || cp == '?')) {
      const auto folded = static_cast<unsigned char>(FoldCase(static_cast<char>(byte)));
      utf8::Append(out, CodePointOf(folded));
    } else {
      out.append(utf8.substr(i, length));
    }
    i += length;
  }
  return out;
}

char FoldCase(char c) {
  // Built once: folding runs over every byte of every name in a file.
  static const std::array<char, 256> kFolded = [] {
    std::array<char, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = static_cast<char>(b);
    for (int b = 'A'; b <= 'Z'; ++b) t[b] = static_cast<char>(b + 0x20);
    for (int b = 0xC0; b <= 0xDF; ++b) t[b] = static_cast<char>(b + 0x20);  // А..Я
    for (const auto& pair : kCasePairs) t[pair[0]] = static_cast<char>(pair[1]);
    return t;
  }();
  return kFolded[static_cast<unsigned char>(c)];
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

}  // namespace cp1251
