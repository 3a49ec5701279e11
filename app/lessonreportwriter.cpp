// The PDF report: pages painted with QPdfWriter at one unit a point.
#include "app/lessonreportwriter.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "console/lessonfiles.h"
#include "console/lessonjournal.h"
#include "console/lessonreport.h"
#include "console/practicefolder.h"

namespace {

using console::Box;
using console::TimelineLane;

constexpr int kPointsPerInch = 72;

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }
QRectF Rect(const Box& b) { return QRectF(b.x, b.y, b.w, b.h); }

QColor LaneColour(TimelineLane lane) {
  switch (lane) {
    case TimelineLane::Listen:
      return QColor(0, 160, 0);
    case TimelineLane::Speak:
      return QColor(220, 0, 0);
    case TimelineLane::Pair:
      return QColor(0, 90, 220);
    case TimelineLane::Line:
      return QColor(150, 60, 200);
    case TimelineLane::CallWaiting:
      return QColor(255, 140, 0);
    case TimelineLane::CallAnswered:
      return QColor(250, 210, 90);
  }
  return Qt::black;
}

const char* LaneName(TimelineLane lane) {
  switch (lane) {
    case TimelineLane::Listen:
      return "слушали";
    case TimelineLane::Speak:
      return "разговор";
    case TimelineLane::Pair:
      return "в паре";
    case TimelineLane::Line:
      return "на линии";
    case TimelineLane::CallWaiting:
      return "вызов ждёт";
    case TimelineLane::CallAnswered:
      return "вызов принят";
  }
  return "";
}

QFont PointFont(double points, bool bold = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

QString DeskCaption(int desk, const std::array<console::DeskPlanEntry, kDeskCount>& plan) {
  // The panel's own caption, "Стол 5" unless the settings name it otherwise.
  return plan[desk].label.empty() ? QStringLiteral("Стол %1").arg(desk + 1)
                                  : Text(plan[desk].label);
}

void PaintTitle(QPainter& painter, const QString& title) {
  painter.setFont(PointFont(16, true));
  painter.setPen(Qt::black);
  painter.drawText(QRectF(40, 20, console::kReportPageWidth - 80, 36),
                   Qt::AlignLeft | Qt::AlignVCenter, title);
}

void PaintPageNumber(QPainter& painter, int page, int pages) {
  painter.setFont(PointFont(8));
  painter.setPen(Qt::black);
  painter.drawText(QRectF(40, console::kReportPageHeight - 24, console::kReportPageWidth - 80, 14),
                   Qt::AlignRight | Qt::AlignVCenter,
                   Text(console::PageNumberText(page, pages)));
}

void PaintPlan(QPainter& painter, const std::array<console::DeskPlanEntry, kDeskCount>& plan) {
  for (const console::PlanDesk& desk : console::LayOutPlan(plan, console::kReportPlanArea)) {
    const QRectF box = Rect(desk.box);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(255, 255, 225));
    painter.drawRect(box);
    painter.setFont(PointFont(std::max(6.0, std::min(10.0, box.height() / 8)), true));
    painter.drawText(box.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop,
                     DeskCaption(desk.desk, plan));
    painter.setFont(PointFont(std::max(6.0, std::min(12.0, box.height() / 7))));
    painter.drawText(box.adjusted(4, 2, -4, -2), Qt::AlignCenter | Qt::TextWordWrap,
                     Text(plan[desk.desk].studentName));
  }
}

void PaintTimeline(QPainter& painter, const console::LessonRecord& record,
                   const std::array<console::DeskPlanEntry, kDeskCount>& plan, int64_t endMs) {
  const console::TimelineLayout layout =
      console::LayOutTimeline(record, plan, endMs, console::kReportTimelineChart);
  const QRectF chart = Rect(layout.chart);
  painter.setPen(Qt::NoPen);
  for (size_t i = 0; i < layout.rows.size(); ++i) {
    const console::TimelineRow& row = layout.rows[i];
    if (i % 2 == 0) painter.fillRect(Rect(row.box), QColor(242, 242, 242));
    painter.setPen(Qt::black);
    painter.setFont(PointFont(std::min(8.0, row.box.h * 0.45)));
    painter.drawText(QRectF(20, row.box.y, chart.x() - 26, row.box.h),
                     Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("%1  %2").arg(DeskCaption(row.desk, plan),
                                                  Text(plan[row.desk].studentName)));
    painter.setPen(Qt::NoPen);
  }
  for (const console::TimelineBar& bar : layout.bars)
    painter.fillRect(Rect(bar.box), LaneColour(bar.lane));
  painter.setFont(PointFont(7));
  for (const console::TimelineTick& tick : layout.ticks) {
    painter.setPen(QPen(QColor(160, 160, 160), 0.5));
    painter.drawLine(QPointF(tick.x, chart.top() - 4), QPointF(tick.x, chart.top()));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(tick.x - 20, chart.top() - 16, 40, 12), Qt::AlignCenter,
                     Text(tick.text));
  }
  painter.setPen(QPen(Qt::black, 0.5));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(chart);
  // The legend under the chart.
  double x = chart.x();
  const double y = chart.bottom() + 12;
  for (int lane = 0; lane < console::kTimelineLanes; ++lane) {
    const auto kind = static_cast<TimelineLane>(lane);
    painter.fillRect(QRectF(x, y, 14, 8), LaneColour(kind));
    painter.drawText(QRectF(x + 18, y - 2, 80, 12), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8(LaneName(kind)));
    x += 100;
  }
}

void PaintTotals(QPainter& painter, const console::LessonRecord& record,
                 const std::array<console::DeskPlanEntry, kDeskCount>& plan, int64_t endMs) {
  const char* headers[] = {"Стол",   "Ученик",   "Слушали", "Разговор",
                           "В паре", "На линии", "Вызовов", "Дольше всего ждал"};
  const double columns[] = {40, 100, 290, 370, 450, 530, 610, 680};
  const double rowHeight = 26;
  double y = 70;
  painter.setFont(PointFont(9, true));
  for (size_t c = 0; c < std::size(headers); ++c) {
    painter.drawText(QRectF(columns[c], y, 180, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8(headers[c]));
  }
  painter.setFont(PointFont(9));
  for (const console::DeskTotals& t : console::TotalsPerDesk(record, plan, endMs)) {
    y += rowHeight;
    const QString cells[] = {
        QString::number(t.desk + 1),
        Text(plan[t.desk].studentName),
        Text(console::DurationText(t.listenedMs)),
        Text(console::DurationText(t.spokenMs)),
        Text(console::DurationText(t.pairedMs)),
        Text(console::DurationText(t.onLineMs)),
        QString::number(t.calls),
        t.calls > 0 ? Text(console::DurationText(t.longestWaitMs)) : QStringLiteral("—"),
    };
    // A desk not heard at all stands out here as on the plan.
    painter.setPen(t.listenedMs == 0 ? QColor(190, 0, 0) : QColor(Qt::black));
    for (size_t c = 0; c < std::size(cells); ++c) {
      painter.drawText(QRectF(columns[c], y, c == 1 ? 185 : 75, rowHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, cells[c]);
    }
  }
  painter.setPen(Qt::black);
}

// A writer at one unit a point on an A4 page laid across.
void SetUpWriter(QPdfWriter& writer, const QString& title) {
  writer.setTitle(title);
  writer.setCreator(QStringLiteral("Vormik"));
  writer.setResolution(kPointsPerInch);
  writer.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
}

// The pages are painted into memory; the file gets them whole, through the
// safe replace (a full disk or a planted link leaves no empty or cut file).
bool Finished(QPainter& painter, const QBuffer& pages, const QString& path, QString& error) {
  if (!painter.end() || pages.data().isEmpty()) {
    error = QStringLiteral("Файл «%1» не сохранён: страницы не удалось подготовить.").arg(path);
    return false;
  }
  error = QString::fromStdString(
      console::WriteLessonFile(path.toStdString(), pages.data().toStdString()));
  return error.isEmpty();
}

bool Begun(QPainter& painter, QPdfWriter& writer, const QString& path, QString& error) {
  if (painter.begin(&writer)) return true;
  error = QStringLiteral("Файл «%1» не сохранён: страницы не удалось подготовить.").arg(path);
  return false;
}

}  // namespace

bool WriteLessonReport(const QString& path, const console::LessonRecord& record,
                       const std::array<console::DeskPlanEntry, kDeskCount>& plan,
                       const std::string& className, console::Moment end, QString& error,
                       bool practice) {
  QBuffer pages;
  pages.open(QIODevice::WriteOnly);
  QPdfWriter writer(&pages);
  // The practice class's own classroom needs no naming twice.
  const QString title =
      practice ? Text(console::PracticeTitle(console::ReportTitle("", record.start(), end)))
               : Text(console::ReportTitle(className, record.start(), end));
  SetUpWriter(writer, title);
  QPainter painter;
  if (!Begun(painter, writer, path, error)) return false;
  constexpr int kPages = 3;
  PaintTitle(painter, title + QStringLiteral(": план кабинета"));
  PaintPlan(painter, plan);
  PaintPageNumber(painter, 1, kPages);
  writer.newPage();
  PaintTitle(painter, title + QStringLiteral(": ход урока"));
  PaintTimeline(painter, record, plan, end.ms);
  PaintPageNumber(painter, 2, kPages);
  writer.newPage();
  PaintTitle(painter, title + QStringLiteral(": итоги по столам"));
  PaintTotals(painter, record, plan, end.ms);
  PaintPageNumber(painter, 3, kPages);
  return Finished(painter, pages, path, error);
}

bool WritePlanPage(const QString& path, const std::array<console::DeskPlanEntry, kDeskCount>& plan,
                   console::Moment at, QString& error) {
  QBuffer pages;
  pages.open(QIODevice::WriteOnly);
  QPdfWriter writer(&pages);
  const std::string date = console::DateText(at);
  const QString title =
      QStringLiteral("План кабинета, %1.%2.%3")
          .arg(Text(date.substr(8, 2)), Text(date.substr(5, 2)), Text(date.substr(0, 4)));
  SetUpWriter(writer, title);
  QPainter painter;
  if (!Begun(painter, writer, path, error)) return false;
  PaintTitle(painter, title);
  PaintPlan(painter, plan);
  return Finished(painter, pages, path, error);
}
