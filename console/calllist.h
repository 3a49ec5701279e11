// The waiting calls as the teacher reads them: each call's desk, student and
// how long it waits, first caller first, and how many wait. Qt-free.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/display.h"

namespace console {

// "Вызовов: 5"; with the calls the strip has no room for, which only the
// count's list shows: "Вызовов: 16 · ещё 12".
std::string CallCountText(size_t waiting, size_t onlyInList = 0);

// How long a call waits, by whole minutes: "< 1 мин", "1 мин", "25 мин",
// "1 ч 05 мин".
std::string WaitText(int64_t waitedSeconds);

// One entry, "7 · Жуков Иван · 3 мин": the desk's number, the student's whole
// name (left out while empty or "***") and the wait.
std::string CallListEntry(int desk, const std::string& studentName, int64_t waitedSeconds);

// Every waiting call's entry, first caller first; the names from `desks`.
std::vector<std::string> CallListEntries(const std::vector<Call>& calls,
                                         const std::array<DeskDisplay, kDeskCount>& desks,
                                         int64_t nowSeconds);

// A name as the strip shows it when room is short: the first word (the
// surname) whole up to kCompactWordLetters letters, then "…", and the first
// letter of each other word: "Жуков И.", "Петрова-Водкина А. А."; a word of
// one letter stays whole ("Ученик 5").
inline constexpr size_t kCompactWordLetters = 16;
std::string CompactName(const std::string& name);

// The strip's short entry, "7 · Жуков И. · 3 мин"; the whole one is in the
// entry's tooltip and the count's list.
std::string CompactCallEntry(int desk, const std::string& studentName, int64_t waitedSeconds);

// Every waiting call's short entry, first caller first.
std::vector<std::string> CompactCallEntries(const std::vector<Call>& calls,
                                            const std::array<DeskDisplay, kDeskCount>& desks,
                                            int64_t nowSeconds);

// What the strip shows: the whole entries when they show as many calls as
// the short ones would, else the short ones; the first `shown` of them.
struct CallStripFit {
  bool compact = false;
  size_t shown = 0;
};
CallStripFit FitCallStrip(const std::vector<int>& wholeWidths, const std::vector<int>& compactWidths,
                          int room, int spacing);

// How many entries of `widths`, from the first, fit whole in `room` pixels
// with `spacing` between them; the entries that do not fit are only counted.
size_t EntriesThatFit(const std::vector<int>& widths, int room, int spacing);

}  // namespace console
