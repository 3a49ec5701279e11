// UTF-16 text of the settings file, to and from UTF-8.
#include "config/utf16.h"

#include "config/utf8.h"

namespace utf16 {

bool Decode(std::string_view bytes, bool bigEndian, std::string& out) {
  out.clear();
  out.reserve(bytes.size() + bytes.size() / 2);
  const auto unitAt = [&](size_t i) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char32_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  };
  bool exact = bytes.size() % 2 == 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t cp = unitAt(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size() && unitAt(i + 2) >= 0xDC00 &&
        unitAt(i + 2) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00);
      i += 2;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
      exact = false;
    }
    utf8::Append(out, cp);
  }
  if (bytes.size() % 2 != 0) utf8::Append(out, 0xFFFD);
  return exact;
}

std::string Encode(std::string_view text, bool bigEndian) {
  std::string out;
  out.reserve(text.size() * 2);
  const auto put = [&](char32_t unit) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  };
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0xFFFD;
    size_t length = 1;
    if (!utf8::Decode(text, i, cp, length)) cp = 0xFFFD;
    if (cp >= 0x10000) {
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      put(cp);
    }
    i += length;
  }
  return out;
}

}  // namespace utf16
