// What the lesson tools show, computed from the lesson's record: the call
// log's rows, the heard gauges on the desk panels, and where each part of the
// report goes on its pages (the painting only follows these boxes).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "console/display.h"
#include "console/lessonrecord.h"

namespace console {

// ---- The call log ("Журнал вызовов"). ----
struct CallLogRow {
  std::string time;  // when the LED lit
  std::string desk;  // the desk's number
  std::string name;
  std::string waited;    // until answered; "ждёт 0:42" while waiting, "не принят"
  std::string lasted;    // lit to out; "идёт" while lit
  bool waiting = false;  // still lit and not answered
};
// Still-waiting calls first (longest wait first), then the rest, newest first.
std::vector<CallLogRow> CallLogRows(const LessonRecord& record,
                                    const std::array<DeskPlanEntry, kDeskCount>& plan, Moment now);

// ---- Who has been heard. ----
struct HeardGauge {
  int permille = 0;         // of the most-heard desk's time
  std::string figure;       // "3:05"
  bool neverHeard = false;  // stands out on the plan
};
// A desk stands out as never heard only once the teacher has heard someone:
// a lesson just begun shows no desk in red.
std::array<HeardGauge, kDeskCount> HeardGauges(const LessonRecord& record, int64_t nowMs);

// ---- The report's texts. ----
// "5А, урок 07.12.2026, 10:20–10:45"; without the class when it has no name.
std::string ReportTitle(const std::string& className, Moment start, Moment end);
// "стр. 1 из 3".
std::string PageNumberText(int page, int pages);

// From the lesson's first desk event to its last (up to endMs for what still
// goes on); the lesson's start and endMs when no desk did anything.
struct TimeSpan {
  int64_t fromMs = 0;
  int64_t toMs = 0;
};
TimeSpan LessonSpan(const LessonRecord& record, int64_t endMs);

// ---- The report's pages. Units are the page's own (points). ----
struct Box {
  double x = 0, y = 0, w = 0, h = 0;
};

// The seating plan scaled into the area, desks keeping their places.
struct PlanDesk {
  int desk = 0;
  Box box;
};
std::vector<PlanDesk> LayOutPlan(const std::array<DeskPlanEntry, kDeskCount>& plan, Box area);

// The lanes of a timeline row, top to bottom.
enum class TimelineLane { Listen, Speak, Pair, Line, CallWaiting, CallAnswered };
inline constexpr int kTimelineLanes = 6;

struct TimelineRow {
  int desk = 0;
  Box box;  // the whole row, across the chart
};
struct TimelineBar {
  int desk = 0;
  TimelineLane lane = TimelineLane::Listen;
  Box box;
};
struct TimelineTick {
  double x = 0;
  std::string text;  // "14:05"
};
struct TimelineLayout {
  Box chart;                      // the time axis spans chart.x .. chart.x + chart.w
  std::vector<TimelineRow> rows;  // one per shown desk, in desk order
  std::vector<TimelineBar> bars;
  std::vector<TimelineTick> ticks;
  int64_t fromMs = 0;
  int64_t toMs = 0;
};
// `chart` is the area right of the row captions; the axis spans LessonSpan
// (at least a minute, so a short lesson stays legible).
TimelineLayout LayOutTimeline(const LessonRecord& record,
                              const std::array<DeskPlanEntry, kDeskCount>& plan, int64_t endMs,
                              Box chart);

// The report's page (A4 across, in points) and where its parts go.
inline constexpr double kReportPageWidth = 842;
inline constexpr double kReportPageHeight = 595;
inline constexpr Box kReportPlanArea{40, 70, 762, 490};
inline constexpr Box kReportTimelineChart{170, 70, 640, 460};

// ---- Totals per shown desk. ----
struct DeskTotals {
  int desk = 0;
  int64_t listenedMs = 0;
  int64_t spokenMs = 0;
  int64_t pairedMs = 0;
  int64_t onLineMs = 0;
  int calls = 0;
  int64_t longestWaitMs = 0;  // of the answered calls, and the unanswered up to their end
};
std::vector<DeskTotals> TotalsPerDesk(const LessonRecord& record,
                                      const std::array<DeskPlanEntry, kDeskCount>& plan,
                                      int64_t endMs);

}  // namespace console
