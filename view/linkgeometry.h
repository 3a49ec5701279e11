// Where a pair's link line attaches to its two desk panels, from the pair's
// two-letter link code. Header only and free of Qt, so the core tests use it.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "config/utf8.h"

namespace linkgeometry {

struct Point {
  int x;
  int y;
  bool operator==(const Point& other) const { return x == other.x && y == other.y; }
};

struct PanelRect {
  int left;
  int top;
  int width;
  int height;
};

// "o" centre (halves truncated toward zero), "a" top-left, "b" top-right,
// "c" bottom-right, "d" bottom-left; lower case only, anything else has no point.
inline std::optional<Point> AttachmentPoint(char letter, const PanelRect& panel) {
  switch (letter) {
    case 'o':
      return Point{panel.left + panel.width / 2, panel.top + panel.height / 2};
    case 'a':
      return Point{panel.left, panel.top};
    case 'b':
      return Point{panel.left + panel.width, panel.top};
    case 'c':
      return Point{panel.left + panel.width, panel.top + panel.height};
    case 'd':
      return Point{panel.left, panel.top + panel.height};
    default:
      return std::nullopt;
  }
}

// The letter of AttachmentPoint that one character of a link code stands for,
// or 0. Codes are typed by hand on Russian keyboards too, so the Cyrillic
// look-alikes "а", "с" and "о" count as the Latin letters; like the Latin
// letters, only their lower case does.
inline char CodeLetter(char32_t character) {
  switch (character) {
    case U'a':
    case U'b':
    case U'c':
    case U'd':
    case U'o':
      return static_cast<char>(character);
    case U'\u0430':  // Cyrillic а
      return 'a';
    case U'\u0441':  // Cyrillic с
      return 'c';
    case U'\u043E':  // Cyrillic о
      return 'o';
    default:
      return 0;
  }
}

struct LinkEnds {
  Point start;  // on the odd-numbered desk
  Point end;    // on the even-numbered desk
  bool HasLength() const { return !(start == end); }
};

// The code is UTF-8 and read letter by letter (a broken byte sequence counts
// as one unknown letter). An unknown or missing first letter starts at the odd
// desk's centre; an unknown or missing second letter ends where the line
// starts (no length). Letters after the second are ignored.
inline LinkEnds PairLinkEnds(std::string_view code, const PanelRect& oddDesk,
                             const PanelRect& evenDesk) {
  size_t at = 0;
  const auto nextLetter = [&]() -> char {
    if (at >= code.size()) return 0;
    char32_t character = 0;
    size_t length = 1;
    const bool valid = utf8::Decode(code, at, character, length);
    at += length;
    return valid ? CodeLetter(character) : 0;
  };
  const std::optional<Point> first = AttachmentPoint(nextLetter(), oddDesk);
  const Point start = first ? *first : *AttachmentPoint('o', oddDesk);
  const std::optional<Point> second = AttachmentPoint(nextLetter(), evenDesk);
  return {start, second ? *second : start};
}

}  // namespace linkgeometry
