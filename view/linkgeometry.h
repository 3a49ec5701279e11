// Where a pair's link line attaches to its two desk panels, from the pair's
// two-letter link code. Header only and free of Qt, so the core tests use it.
#pragma once

#include <optional>
#include <string_view>

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

struct LinkEnds {
  Point start;  // on the odd-numbered desk
  Point end;    // on the even-numbered desk
  bool HasLength() const { return !(start == end); }
};

// An unknown or missing first letter starts at the odd desk's centre; an
// unknown or missing second letter ends where the line starts (no length).
// Characters after the second are ignored.
inline LinkEnds PairLinkEnds(std::string_view code, const PanelRect& oddDesk,
                             const PanelRect& evenDesk) {
  const std::optional<Point> first = code.empty() ? std::nullopt : AttachmentPoint(code[0], oddDesk);
  const Point start = first ? *first : *AttachmentPoint('o', oddDesk);
  const std::optional<Point> second =
      code.size() < 2 ? std::nullopt : AttachmentPoint(code[1], evenDesk);
  return {start, second ? *second : start};
}

}  // namespace linkgeometry
