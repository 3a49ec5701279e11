// Scaling the described plan into the window and back.
#include "console/planscale.h"

#include <algorithm>
#include <cmath>

namespace console {

namespace {

int Round(double value) { return static_cast<int>(std::lround(value)); }

double FitRatio(PlanSize described, PlanSize room) {
  if (described.width <= 0 || described.height <= 0) return 1.0;
  return std::min(static_cast<double>(room.width) / described.width,
                  static_cast<double>(room.height) / described.height);
}

}  // namespace

PlanScale::PlanScale(PlanSize described, PlanSize client) : described_(described), client_(client) {
  const double ratio = FitRatio(described, client);
  // Below a pixel per hundred nothing is readable anyway, and 0 cannot be inverted.
  scale_ = std::max(ratio, 0.01);
  origin_ = {std::max(0, (client.width - Round(described.width * scale_)) / 2),
             std::max(0, (client.height - Round(described.height * scale_)) / 2)};
}

int PlanScale::Length(int described) const { return Round(described * scale_); }

PlanPoint PlanScale::ToScreen(PlanPoint p) const {
  return {origin_.x + Length(p.x), origin_.y + Length(p.y)};
}

PlanRect PlanScale::ToScreen(PlanRect r) const {
  const PlanPoint topLeft = ToScreen(PlanPoint{r.left, r.top});
  const PlanPoint bottomRight = ToScreen(PlanPoint{r.left + r.width, r.top + r.height});
  return {topLeft.x, topLeft.y, bottomRight.x - topLeft.x, bottomRight.y - topLeft.y};
}

PlanRect PlanScale::Inner(PlanRect r) const {
  const int left = Length(r.left);
  const int top = Length(r.top);
  return {left, top, Length(r.left + r.width) - left, Length(r.top + r.height) - top};
}

PlanPoint PlanScale::ToDescribed(PlanPoint screen) const {
  return {Round((screen.x - origin_.x) / scale_), Round((screen.y - origin_.y) / scale_)};
}

PlanPoint PlanScale::DescribedDelta(PlanPoint delta) const {
  return {Round(delta.x / scale_), Round(delta.y / scale_)};
}

int PlanScale::BottomPanelsTop() const { return client_.height - Length(kBottomPanelsHeight); }

int PlanScale::TeacherPanelLeft() const {
  return client_.width / 2 - Length(kTeacherPanelWidth + kTeacherPanelGap);
}

int PlanScale::AllDesksPanelLeft() const {
  return TeacherPanelLeft() + Length(kTeacherPanelWidth + kBottomPanelsGap);
}

int PlanScale::FontPixels(int describedPixels) const {
  return std::max(1, Length(describedPixels));
}

double ChromeScale(PlanSize described, PlanSize window, int chrome) {
  constexpr double kStep = 1.0 / 8.0;
  const auto planWith = [&](double factor) {
    return PlanScale(described, {window.width, window.height - Round(chrome * factor)}).scale();
  };
  const double plan = planWith(1.0);
  const double planStep = std::floor(plan / kStep) * kStep;
  double factor = std::clamp(std::round(plan / kStep) * kStep, 1.0, kChromeScaleCap);
  while (factor > 1.0 && planWith(factor) < planStep) factor -= kStep;
  return factor;
}

int DeskAt(const PlanScale& plan, PlanPoint screen, const PlanRect* describedRects,
           const bool* visible, int count) {
  for (int desk = count - 1; desk >= 0; --desk) {
    if (visible[desk] && plan.ToScreen(describedRects[desk]).Contains(screen)) return desk;
  }
  return -1;
}

PlanSize SmallestClient(PlanSize described, PlanSize room) {
  const double ratio = std::min(1.0, FitRatio(described, room));
  return {std::max(1, static_cast<int>(described.width * ratio)),
          std::max(1, static_cast<int>(described.height * ratio))};
}

}  // namespace console
