// The call list's texts.
#include "console/calllist.h"

#include <algorithm>
#include <array>

namespace console {

std::string CallCountText(size_t waiting) { return "Вызовов: " + std::to_string(waiting); }

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
  if (!studentName.empty() && studentName != "***") text += studentName + " · ";
  return text + WaitText(waitedSeconds);
}

std::vector<std::string> CallListEntries(const std::vector<Call>& calls,
                                         const std::array<DeskDisplay, kDeskCount>& desks,
                                         int64_t nowSeconds) {
  std::vector<std::string> entries;
  entries.reserve(calls.size());
  for (const Call& call : calls) {
    const std::string& name =
        call.desk >= 0 && call.desk < kDeskCount ? desks[call.desk].name : std::string();
    entries.push_back(CallListEntry(call.desk, name, nowSeconds - call.since));
  }
  return entries;
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
