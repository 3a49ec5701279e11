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

// "Вызовов: 5".
std::string CallCountText(size_t waiting);

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

// How many entries of `widths`, from the first, fit whole in `room` pixels
// with `spacing` between them; the entries that do not fit are only counted.
size_t EntriesThatFit(const std::vector<int>& widths, int room, int spacing);

}  // namespace console
