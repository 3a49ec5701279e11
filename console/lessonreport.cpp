// The lesson tools' pure views of the record: call log rows, heard gauges,
// the plan, timeline and totals of the report.
#include "console/lessonreport.h"

#include <algorithm>

#include "console/lessonjournal.h"

namespace console {

namespace {

constexpr int64_t kMinTimelineMs = 60 * 1000;
constexpr double kLanePadding = 0.1;  // of a row's height, above and below its lanes

int64_t EndOr(int64_t endMs, int64_t nowMs) { return endMs >= 0 ? endMs : nowMs; }

// Ticks at a round step that gives at most about ten of them.
int64_t TickStepMs(int64_t spanMs) {
  static const int64_t kSteps[] = {60000, 120000, 300000, 600000, 900000, 1800000, 3600000};
  for (int64_t step : kSteps) {
    if (spanMs / step <= 10) return step;
  }
  return 7200000;
}

}  // namespace

std::vector<CallLogRow> CallLogRows(const LessonRecord& record,
                                    const std::array<DeskPlanEntry, kDeskCount>& plan, Moment now) {
  std::vector<const CallRecord*> calls;
  for (const CallRecord& call : record.calls()) calls.push_back(&call);
  auto waiting = [](const CallRecord* c) { return c->endedMs < 0 && c->answeredMs < 0; };
  std::stable_sort(calls.begin(), calls.end(), [&](const CallRecord* a, const CallRecord* b) {
    if (waiting(a) != waiting(b)) return waiting(a);
    return waiting(a) ? a->litMs < b->litMs : a->litMs > b->litMs;
  });
  std::vector<CallLogRow> rows;
  for (const CallRecord* call : calls) {
    CallLogRow row;
    row.time = ClockText({call->litMs, now.utcOffsetSeconds});
    row.desk = std::to_string(call->desk + 1);
    row.name = plan[call->desk].studentName;
    row.waiting = waiting(call);
    if (call->answeredMs >= 0) {
      row.waited = DurationText(call->answeredMs - call->litMs);
    } else if (row.waiting) {
      row.waited = "ждёт " + DurationText(now.ms - call->litMs);
    } else {
      row.waited = "не принят";
    }
    row.lasted = call->endedMs >= 0 ? DurationText(call->endedMs - call->litMs) : "идёт";
    rows.push_back(row);
  }
  return rows;
}

std::array<HeardGauge, kDeskCount> HeardGauges(const LessonRecord& record, int64_t nowMs) {
  std::array<int64_t, kDeskCount> heard{};
  int64_t most = 0;
  for (int d = 0; d < kDeskCount; ++d) {
    heard[d] = record.ActiveMs(d, ActivityKind::Listen, nowMs);
    most = std::max(most, heard[d]);
  }
  std::array<HeardGauge, kDeskCount> gauges;
  for (int d = 0; d < kDeskCount; ++d) {
    gauges[d].permille = most > 0 ? static_cast<int>(heard[d] * 1000 / most) : 0;
    gauges[d].figure = DurationText(heard[d]);
    gauges[d].neverHeard = heard[d] == 0 && most > 0;
  }
  return gauges;
}

std::string ReportTitle(const std::string& className, Moment start, Moment end) {
  const std::string date = DateText(start);
  std::string title = "урок " + date.substr(8, 2) + "." + date.substr(5, 2) + "." +
                      date.substr(0, 4) + ", " + ClockText(start).substr(0, 5) + "–" +
                      ClockText(end).substr(0, 5);
  if (className.empty()) return "Урок" + title.substr(std::string("урок").size());
  return className + ", " + title;
}

std::string PageNumberText(int page, int pages) {
  return "стр. " + std::to_string(page) + " из " + std::to_string(pages);
}

TimeSpan LessonSpan(const LessonRecord& record, int64_t endMs) {
  bool any = false;
  TimeSpan span{record.start().ms, endMs};
  auto take = [&](int64_t from, int64_t to) {
    span.fromMs = any ? std::min(span.fromMs, from) : from;
    span.toMs = any ? std::max(span.toMs, to) : to;
    any = true;
  };
  for (const LessonEvent& e : record.events()) {
    if (e.desk >= 0) take(e.at.ms, e.at.ms);
  }
  // What went on from the lesson's start, or still goes on at its end.
  for (const Activity& a : record.activities()) take(a.fromMs, EndOr(a.toMs, endMs));
  for (const CallRecord& c : record.calls()) take(c.litMs, EndOr(c.endedMs, endMs));
  return span;
}

std::vector<PlanDesk> LayOutPlan(const std::array<DeskPlanEntry, kDeskCount>& plan, Box area) {
  std::vector<PlanDesk> out;
  double left = 0, top = 0, right = 0, bottom = 0;
  bool any = false;
  for (int d = 0; d < kDeskCount; ++d) {
    if (!plan[d].visible) continue;
    const double l = plan[d].left, t = plan[d].top;
    const double r = l + kDeskPanelWidth, b = t + kDeskPanelHeight;
    left = any ? std::min(left, l) : l;
    top = any ? std::min(top, t) : t;
    right = any ? std::max(right, r) : r;
    bottom = any ? std::max(bottom, b) : b;
    any = true;
  }
  if (!any) return out;
  const double scale = std::min(area.w / (right - left), area.h / (bottom - top));
  // Centred in the area, the plan's proportions kept.
  const double offsetX = area.x + (area.w - (right - left) * scale) / 2;
  const double offsetY = area.y + (area.h - (bottom - top) * scale) / 2;
  for (int d = 0; d < kDeskCount; ++d) {
    if (!plan[d].visible) continue;
    out.push_back({d,
                   {offsetX + (plan[d].left - left) * scale, offsetY + (plan[d].top - top) * scale,
                    kDeskPanelWidth * scale, kDeskPanelHeight * scale}});
  }
  return out;
}

TimelineLayout LayOutTimeline(const LessonRecord& record,
                              const std::array<DeskPlanEntry, kDeskCount>& plan, int64_t endMs,
                              Box chart) {
  TimelineLayout layout;
  layout.chart = chart;
  const TimeSpan lesson = LessonSpan(record, endMs);
  layout.fromMs = lesson.fromMs;
  layout.toMs = std::max(lesson.toMs, layout.fromMs + kMinTimelineMs);
  const double span = static_cast<double>(layout.toMs - layout.fromMs);
  auto x = [&](int64_t ms) {
    const int64_t clamped = std::max(layout.fromMs, std::min(ms, layout.toMs));
    return chart.x + chart.w * static_cast<double>(clamped - layout.fromMs) / span;
  };

  std::array<int, kDeskCount> rowOf{};
  int rows = 0;
  for (int d = 0; d < kDeskCount; ++d) rowOf[d] = plan[d].visible ? rows++ : -1;
  if (rows == 0) return layout;
  const double rowHeight = chart.h / rows;
  const double laneHeight = rowHeight * (1 - 2 * kLanePadding) / kTimelineLanes;
  for (int d = 0; d < kDeskCount; ++d) {
    if (rowOf[d] >= 0)
      layout.rows.push_back({d, {chart.x, chart.y + rowOf[d] * rowHeight, chart.w, rowHeight}});
  }
  auto bar = [&](int desk, TimelineLane lane, int64_t from, int64_t to) {
    if (rowOf[desk] < 0 || to <= from) return;
    const double top = chart.y + rowOf[desk] * rowHeight + rowHeight * kLanePadding +
                       static_cast<int>(lane) * laneHeight;
    layout.bars.push_back({desk, lane, {x(from), top, x(to) - x(from), laneHeight}});
  };
  for (const Activity& a : record.activities()) {
    bar(a.desk, static_cast<TimelineLane>(a.kind), a.fromMs, EndOr(a.toMs, layout.toMs));
  }
  for (const CallRecord& c : record.calls()) {
    const int64_t ended = EndOr(c.endedMs, layout.toMs);
    const int64_t answered = c.answeredMs >= 0 ? c.answeredMs : ended;
    bar(c.desk, TimelineLane::CallWaiting, c.litMs, answered);
    bar(c.desk, TimelineLane::CallAnswered, answered, ended);
  }
  const int64_t step = TickStepMs(layout.toMs - layout.fromMs);
  const int64_t offsetMs = static_cast<int64_t>(record.start().utcOffsetSeconds) * 1000;
  // Ticks on round local times.
  int64_t tick = ((layout.fromMs + offsetMs + step - 1) / step) * step - offsetMs;
  for (; tick <= layout.toMs; tick += step) {
    layout.ticks.push_back(
        {x(tick), ClockText({tick, record.start().utcOffsetSeconds}).substr(0, 5)});
  }
  return layout;
}

std::vector<DeskTotals> TotalsPerDesk(const LessonRecord& record,
                                      const std::array<DeskPlanEntry, kDeskCount>& plan,
                                      int64_t endMs) {
  std::vector<DeskTotals> out;
  for (int d = 0; d < kDeskCount; ++d) {
    if (!plan[d].visible) continue;
    DeskTotals t;
    t.desk = d;
    t.listenedMs = record.ActiveMs(d, ActivityKind::Listen, endMs);
    t.spokenMs = record.ActiveMs(d, ActivityKind::Speak, endMs);
    t.pairedMs = record.ActiveMs(d, ActivityKind::Pair, endMs);
    t.onLineMs = record.ActiveMs(d, ActivityKind::Line, endMs);
    for (const CallRecord& c : record.calls()) {
      if (c.desk != d) continue;
      ++t.calls;
      const int64_t waitEnd = c.answeredMs >= 0 ? c.answeredMs : EndOr(c.endedMs, endMs);
      t.longestWaitMs = std::max(t.longestWaitMs, waitEnd - c.litMs);
    }
    out.push_back(t);
  }
  return out;
}

}  // namespace console
