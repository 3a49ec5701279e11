// The lesson's report and the seating plan as PDF files (Qt's own writer),
// painted from the boxes the console's report layout gives.
#pragma once

#include <QString>
#include <array>

#include "console/display.h"
#include "console/lessonrecord.h"

// The plan with names, the timeline and the totals; false with a Russian
// reason in `error` when the file could not be written.
// `practice`: the lesson of the practice class, and its title says so.
bool WriteLessonReport(const QString& path, const console::LessonRecord& record,
                       const std::array<console::DeskPlanEntry, kDeskCount>& plan,
                       console::Moment end, QString& error, bool practice = false);
// The seating plan with names on one page, for a substitute teacher.
bool WritePlanPage(const QString& path, const std::array<console::DeskPlanEntry, kDeskCount>& plan,
                   console::Moment at, QString& error);
