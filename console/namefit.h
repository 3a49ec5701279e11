// A student's name laid out on its desk panel: whole on one line at the
// panel's font when it fits, else word-wrapped onto the lines the box has
// room for at the largest font that takes it whole (whole words preferred
// to a larger font), and only beyond the smallest font cut with an ellipsis. Qt-free: the widths come from the
// caller's measure, so the rules are tested with a fixed-width one.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace console {

struct NameLayout {
  int fontPixels = 0;
  std::vector<std::string> lines;
  bool elided = false;  // the last line ends in "…": the name is not whole
};

struct NameMeasure {
  // The width in pixels of `text` at a font `fontPixels` high.
  std::function<int(const std::string& text, int fontPixels)> width;
  // The distance between two lines at that font.
  std::function<int(int fontPixels)> lineHeight;
};

NameLayout FitName(const std::string& name, int boxWidth, int boxHeight, int largestFont,
                   int smallestFont, const NameMeasure& measure);

// The lines of `text`, broken at spaces (which go) and after hyphens (which
// stay) so that each is no wider than `width`; a word wider than a line is
// broken between its letters when `breakWords`, else left whole (too wide).
std::vector<std::string> WrapName(const std::string& text, int width, int fontPixels,
                                  const NameMeasure& measure, bool breakWords = true);

}  // namespace console
