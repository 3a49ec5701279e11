// UTF-8 decoding and encoding shared by the code page, the INI text and the link codes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace utf8 {

// Decodes the sequence at text[i]. On success returns true with the code
// point and its length; on failure `length` is the ill-formed part to skip
// (the lead byte and the continuation bytes that were still acceptable), so
// that one broken sequence counts once. Overlong forms, surrogates and code
// points past U+10FFFF are ill-formed.
inline bool Decode(std::string_view text, size_t i, char32_t& cp, size_t& length) {
  const auto lead = static_cast<unsigned char>(text[i]);
  size_t need;
  // Second-byte limits exclude overlong forms, surrogates and > U+10FFFF.
  unsigned char lo = 0x80, hi = 0xBF;
  length = 1;
  if (lead < 0x80) {
    cp = lead;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return false;
  }
  for (size_t k = 0; k < need; ++k) {
    if (i + length >= text.size()) return false;
    const auto b = static_cast<unsigned char>(text[i + length]);
    if (b < (k == 0 ? lo : 0x80) || b > (k == 0 ? hi : 0xBF)) return false;
    cp = (cp << 6) | (b & 0x3F);
    ++length;
  }
  return true;
}

inline void Append(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Offset of the first ill-formed sequence; npos when the text is valid.
inline size_t FirstInvalid(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    size_t length;
    if (!Decode(text, i, cp, length)) return i;
    i += length;
  }
  return std::string_view::npos;
}

// The text with each ill-formed sequence replaced by `replacement`.
inline std::string Repaired(std::string_view text, std::string_view replacement) {
  const size_t first = FirstInvalid(text);
  if (first == std::string_view::npos) return std::string(text);
  std::string out(text.substr(0, first));
  for (size_t i = first; i < text.size();) {
    char32_t cp;
    size_t length;
    if (Decode(text, i, cp, length)) {
      out.append(text.substr(i, length));
    } else {
      out.append(replacement);
    }
    i += length;
  }
  return out;
}

// The first `count` characters of the text (an ill-formed sequence counts as one).
inline std::string_view FirstCharacters(std::string_view text, size_t count) {
  size_t i = 0;
  for (size_t n = 0; n < count && i < text.size(); ++n) {
    char32_t cp;
    size_t length;
    Decode(text, i, cp, length);
    i += length;
  }
  return text.substr(0, i);
}

}  // namespace utf8
