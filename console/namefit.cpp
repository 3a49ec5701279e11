// Laying a name out on its panel.
#include "console/namefit.h"

#include <algorithm>

namespace console {

namespace {

bool Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The pieces a line may break after: words with their trailing space or hyphen.
std::vector<std::string> Pieces(const std::string& text) {
  std::vector<std::string> pieces(1);
  for (char c : text) {
    pieces.back() += c;
    if (c == ' ' || c == '-') pieces.emplace_back();
  }
  if (pieces.back().empty()) pieces.pop_back();
  return pieces;
}

std::string WithoutTrailingSpace(std::string line) {
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// The longest start of `text` (whole characters) that `fits`.
size_t FittingStart(const std::string& text, const std::function<bool(const std::string&)>& fits) {
  size_t best = 0;
  for (size_t end = 1; end <= text.size(); ++end) {
    if (end < text.size() && Continuation(text[end])) continue;
    if (!fits(text.substr(0, end))) break;
    best = end;
  }
  return best;
}

}  // namespace

std::vector<std::string> WrapName(const std::string& text, int width, int fontPixels,
                                  const NameMeasure& measure, bool breakWords) {
  const auto fits = [&](const std::string& line) {
    return measure.width(WithoutTrailingSpace(line), fontPixels) <= width;
  };
  std::vector<std::string> lines;
  std::string line;
  for (std::string piece : Pieces(text)) {
    if (fits(line + piece)) {
      line += piece;
      continue;
    }
    if (!line.empty()) lines.push_back(WithoutTrailingSpace(line));
    line.clear();
    // A word wider than a whole line goes across lines letter by letter.
    while (breakWords && !fits(piece)) {
      size_t cut = FittingStart(piece, fits);
      // Not even one letter fits: it gets a line of its own all the same.
      if (cut == 0) {
        cut = 1;
        while (cut < piece.size() && Continuation(piece[cut])) ++cut;
      }
      lines.push_back(piece.substr(0, cut));
      piece.erase(0, cut);
      if (piece.empty()) break;
    }
    line = piece;
  }
  if (!WithoutTrailingSpace(line).empty()) lines.push_back(WithoutTrailingSpace(line));
  return lines;
}

NameLayout FitName(const std::string& name, int boxWidth, int boxHeight, int largestFont,
                   int smallestFont, const NameMeasure& measure) {
  NameLayout layout;
  const auto fitsBox = [&](const std::vector<std::string>& lines, int font) {
    const int room = std::max(1, boxHeight / std::max(1, measure.lineHeight(font)));
    if (static_cast<int>(lines.size()) > room) return false;
    return std::all_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return measure.width(line, font) <= boxWidth;
    });
  };
  // Whole words at any font first; a word is broken only when none takes it.
  for (const bool breakWords : {false, true}) {
    for (int font = largestFont; font >= smallestFont; --font) {
      layout.fontPixels = font;
      if (measure.width(name, font) <= boxWidth) {
        layout.lines = {name};
        return layout;
      }
      layout.lines = WrapName(name, boxWidth, font, measure, breakWords);
      if (fitsBox(layout.lines, font)) return layout;
    }
  }
  // Not whole even at the smallest font: the lines there are, the last cut.
  const int room = std::max(1, boxHeight / std::max(1, measure.lineHeight(layout.fontPixels)));
  if (static_cast<int>(layout.lines.size()) > room) {
    layout.lines.resize(room);
    std::string& last = layout.lines.back();
    const int font = layout.fontPixels;
    const size_t keep = FittingStart(last, [&](const std::string& start) {
      return measure.width(WithoutTrailingSpace(start) + "…", font) <= boxWidth;
    });
    last = WithoutTrailingSpace(last.substr(0, keep)) + "…";
    layout.elided = true;
  }
  return layout;
}

}  // namespace console
