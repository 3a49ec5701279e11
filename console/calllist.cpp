// The call list's texts.
#include "console/calllist.h"

#include <algorithm>
#include <array>

namespace console {

namespace {

// The bytes of the UTF-8 letter that starts with `lead`.
size_t LetterBytes(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// `word` cut to `letters` letters, with "…" when something was cut.
std::string FirstLetters(const std::string& word, size_t letters) {
  size_t at = 0;
  for (size_t n = 0; n < letters && at < word.size(); ++n) {
    at += LetterBytes(static_cast<unsigned char>(word[at]));
  }
  if (at >= word.size()) return word;
  return word.substr(0, at) + "…";
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

bool Unnamed(const std::string& name) { return name.empty() || name == "***"; }

const std::string& NameAt(const std::array<DeskDisplay, kDeskCount>& desks, int desk) {
  static const std::string kNone;
  return desk >= 0 && desk < kDeskCount ? desks[desk].name : kNone;
}

// Each waiting call as `entryOf` words it, first caller first.
std::vector<std::string> EntriesOf(const std::vector<Call>& calls,
                                   const std::array<DeskDisplay, kDeskCount>& desks,
                                   int64_t nowSeconds,
                                   std::string (*entryOf)(int, const std::string&, int64_t)) {
  std::vector<std::string> entries;
  entries.reserve(calls.size());
  for (const Call& call : calls) {
    entries.push_back(entryOf(call.desk, NameAt(desks, call.desk), nowSeconds - call.since));
  }
  return entries;
}

}  // namespace

std::string CallCountText(size_t waiting, size_t onlyInList) {
  std::string text = "Вызовов: " + std::to_string(waiting);
  if (onlyInList > 0) text += " · ещё " + std::to_string(onlyInList);
  return text;
}

std::string CompactName(const std::string& name) {
  const std::vector<std::string> words = Words(name);
  if (words.empty()) return std::string();
  std::string text = FirstLetters(words.front(), kCompactWordLetters);
  for (size_t i = 1; i < words.size(); ++i) {
    // A word of one letter (an initial, a number) stays as it is.
    const std::string& word = words[i];
    const size_t first = LetterBytes(static_cast<unsigned char>(word[0]));
    text += " " + (first >= word.size() ? word : word.substr(0, first) + ".");
  }
  return text;
}

std::string CompactCallEntry(int desk, const std::string& studentName, int64_t waitedSeconds) {
  return CallListEntry(desk, Unnamed(studentName) ? studentName : CompactName(studentName),
                       waitedSeconds);
}

std::vector<std::string> CompactCallEntries(const std::vector<Call>& calls,
                                            const std::array<DeskDisplay, kDeskCount>& desks,
                                            int64_t nowSeconds) {
  return EntriesOf(calls, desks, nowSeconds, CompactCallEntry);
}

CallStripFit FitCallStrip(const std::vector<int>& wholeWidths, const std::vector<int>& compactWidths,
                          int room, int spacing) {
  const size_t whole = EntriesThatFit(wholeWidths, room, spacing);
  const size_t compact = EntriesThatFit(compactWidths, room, spacing);
  if (whole >= compact) return {false, whole};
  return {true, compact};
}

std::string WaitText(int64_t waitedSeconds) {
  const int64_t minutes = std::max<int64_t>(0, waitedSeconds) / 60;
  if (minutes == 0) return "< 1 мин";
  if (minutes < 60) return std::to_string(minutes) + " мин";
  const int64_t rest = minutes % 60;
  return std::to_string(minutes / 60) + " ч " + (rest < 10 ? "0" : "") + std::to_string(rest) +
         " мин";
}

std::string CallListEntry(int desk, const std::string& studentName, int64_t waitedSeconds) {
  std::string text = std::to_string(desk + 1) + " · ";
  if (!Unnamed(studentName)) text += studentName + " · ";
  return text + WaitText(waitedSeconds);
}

std::vector<std::string> CallListEntries(const std::vector<Call>& calls,
                                         const std::array<DeskDisplay, kDeskCount>& desks,
                                         int64_t nowSeconds) {
  return EntriesOf(calls, desks, nowSeconds, CallListEntry);
}

size_t EntriesThatFit(const std::vector<int>& widths, int room, int spacing) {
  int used = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    used += widths[i] + (i > 0 ? spacing : 0);
    if (used > room) return i;
  }
  return widths.size();
}

}  // namespace console
