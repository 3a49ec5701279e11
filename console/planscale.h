// The plan drawn at any window size: the described client area (its desks
// at their stored coordinates, the bottom panels by their placement rule)
// scaled uniformly into the window, and window points mapped back. Qt-free,
// so the geometry is tested as a table; at the described size it is the
// identity and every control stays on its described pixel.
#pragma once

namespace console {

struct PlanPoint {
  int x = 0;
  int y = 0;
  bool operator==(const PlanPoint& o) const { return x == o.x && y == o.y; }
};

struct PlanRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool Contains(PlanPoint p) const {
    return p.x >= left && p.x < left + width && p.y >= top && p.y < top + height;
  }
  bool operator==(const PlanRect& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};

struct PlanSize {
  int width = 0;
  int height = 0;
  bool operator==(const PlanSize& o) const { return width == o.width && height == o.height; }
};

// The two bottom panels' described geometry: 50 pixels above the client's
// bottom, the teacher panel ending 5 pixels left of the middle, the
// all-desks panel 15 pixels right of it.
inline constexpr int kBottomPanelsHeight = 50;
inline constexpr int kTeacherPanelWidth = 345;
inline constexpr int kTeacherPanelGap = 5;
inline constexpr int kBottomPanelsGap = 15;

class PlanScale {
 public:
  PlanScale() = default;
  // The described client area fitted into `client`: scale min(width ratio,
  // height ratio), the plan centred in what is left over, the bottom panels
  // pinned to the client's bottom by their rule.
  PlanScale(PlanSize described, PlanSize client);

  double scale() const { return scale_; }
  PlanSize described() const { return described_; }
  PlanSize client() const { return client_; }
  bool Identity() const { return scale_ == 1.0 && origin_ == PlanPoint{}; }
  // Where the described plan's (0, 0) stands in the window.
  PlanPoint origin() const { return origin_; }

  // A length, a point and a rectangle of the plan on the screen. A
  // rectangle's edges are scaled, not its size, so neighbours stay neighbours.
  int Length(int described) const;
  PlanPoint ToScreen(PlanPoint described) const;
  PlanRect ToScreen(PlanRect described) const;
  // A rectangle inside a control (relative to it) scaled without the origin.
  PlanRect Inner(PlanRect described) const;
  // A window point back in described coordinates (nearest pixel).
  PlanPoint ToDescribed(PlanPoint screen) const;
  // A pointer's displacement on the screen as a displacement of the plan.
  PlanPoint DescribedDelta(PlanPoint screenDelta) const;

  // Where the bottom panels stand on the screen (their described sizes scaled).
  int BottomPanelsTop() const;
  int TeacherPanelLeft() const;
  int AllDesksPanelLeft() const;
  // The font's pixel size for one designed at `describedPixels`.
  int FontPixels(int describedPixels) const;

 private:
  PlanSize described_{700, 500};
  PlanSize client_{700, 500};
  double scale_ = 1.0;
  PlanPoint origin_;
};

// The desk whose screen rectangle holds `screen`, the last listed winning
// (it is drawn on top); -1 for none. `describedRects` are in the plan's
// coordinates, `visible` says which show.
int DeskAt(const PlanScale& plan, PlanPoint screen, const PlanRect* describedRects,
           const bool* visible, int count);

// The scale of the window's menus and status strip (the chrome, `chrome`
// pixels high at the described size) in a window of `window` pixels: the
// plan's, in steps of an eighth (so a resize by a few pixels never lays the
// texts out anew), never below 1, at most kChromeScaleCap, and only so far
// as the plan, with the chrome grown by that factor, keeps its own scale's
// eighth step: the chrome never takes the plan's room.
inline constexpr double kChromeScaleCap = 1.5;
double ChromeScale(PlanSize described, PlanSize window, int chrome);

// The smallest client the window may be given on a screen whose area for the
// client is `room`: the described size, or all of it scaled down to fit a
// smaller screen.
PlanSize SmallestClient(PlanSize described, PlanSize room);

}  // namespace console
