// Plan order and arrow-key navigation over the desk panels' positions.
#include "console/deskorder.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace console {

namespace {

constexpr int kRowTolerance = kDeskPanelHeight / 2;
// How much a step sideways costs against a step ahead.
constexpr int kSidewaysWeight = 2;

bool ValidDesk(int desk) { return desk >= 0 && desk < kDeskCount; }

}  // namespace

std::vector<int> PlanOrder(const DeskPlan& plan) {
  std::vector<int> byTop;
  for (int d = 0; d < kDeskCount; ++d) {
    if (plan[d].visible) byTop.push_back(d);
  }
  std::stable_sort(byTop.begin(), byTop.end(),
                   [&](int a, int b) { return plan[a].top < plan[b].top; });
  // A row starts at its highest desk and takes every desk within the tolerance of it.
  std::vector<int> order;
  size_t rowStart = 0;
  while (rowStart < byTop.size()) {
    const int rowTop = plan[byTop[rowStart]].top;
    size_t rowEnd = rowStart;
    while (rowEnd < byTop.size() && plan[byTop[rowEnd]].top - rowTop < kRowTolerance) ++rowEnd;
    std::vector<int> row(byTop.begin() + static_cast<long>(rowStart),
                         byTop.begin() + static_cast<long>(rowEnd));
    std::stable_sort(row.begin(), row.end(),
                     [&](int a, int b) { return plan[a].left < plan[b].left; });
    order.insert(order.end(), row.begin(), row.end());
    rowStart = rowEnd;
  }
  return order;
}

int NearestDesk(const DeskPlan& plan, int from, Direction direction) {
  if (!ValidDesk(from) || !plan[from].visible) {
    const std::vector<int> order = PlanOrder(plan);
    return order.empty() ? -1 : order.front();
  }
  int best = from;
  long bestScore = std::numeric_limits<long>::max();
  for (int d = 0; d < kDeskCount; ++d) {
    if (d == from || !plan[d].visible) continue;
    const long dx = plan[d].left - plan[from].left;
    const long dy = plan[d].top - plan[from].top;
    const bool vertical = direction == Direction::Up || direction == Direction::Down;
    const bool backwards = direction == Direction::Left || direction == Direction::Up;
    const long ahead = (vertical ? dy : dx) * (backwards ? -1 : 1);
    const long sideways = vertical ? dx : dy;
    // Up and down need a real step, not a desk of the same row a pixel lower.
    const long minimum = vertical ? kRowTolerance : 1;
    if (ahead < minimum) continue;
    const long score = ahead + kSidewaysWeight * std::labs(sideways);
    if (score < bestScore) {
      bestScore = score;
      best = d;
    }
  }
  return best;
}

std::string DeskTitle(const DeskPlanEntry& desk) {
  const bool number =
      !desk.label.empty() && desk.label.find_first_not_of("0123456789") == std::string::npos;
  return number ? "стол " + desk.label : desk.label;
}

}  // namespace console
