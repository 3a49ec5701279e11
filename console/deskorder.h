// The order of the visible desks as the teacher sees the plan, and the desk
// an arrow key moves the selection to.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "config/desks.h"
#include "console/display.h"

namespace console {

using DeskPlan = std::array<DeskPlanEntry, kDeskCount>;

// Visible desk indices, rows top to bottom, each row left to right. Desks
// whose tops differ by less than half a panel height share a row: a dragged
// panel is rarely on the exact pixel of its neighbours.
std::vector<int> PlanOrder(const DeskPlan& plan);

enum class Direction { Left, Right, Up, Down };

// The nearest visible desk from `from` in that direction (by panel centres;
// a desk straight ahead beats a closer one far to the side), or `from` when
// there is none. From a hidden or invalid desk: the first desk in plan order,
// or -1 when no desk is visible.
int NearestDesk(const DeskPlan& plan, int from, Direction direction);

// How messages name a desk: its label, with "стол" before a bare number.
std::string DeskTitle(const DeskPlanEntry& desk);

}  // namespace console
