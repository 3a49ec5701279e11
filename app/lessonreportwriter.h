// The lesson's report and the seating plan as PDF files (Qt's own writer),
// painted from the boxes the console's report layout gives.
#pragma once

#include <QString>
#include <array>

#include "console/display.h"
#include "console/lessonrecord.h"

// The plan with names, the timeline and the totals, the class (its classroom
// file's name, "" for none) and the date in each page's title, its number at
// its foot; false with a Russian reason in `error` when the file could not be
// written (what stood at `path` before then stays as it was). Written as
// console::WriteLessonFile writes. `practice`: the practice class's lesson,
// and its title says so.
bool WriteLessonReport(const QString& path, const console::LessonRecord& record,
                       const std::array<console::DeskPlanEntry, kDeskCount>& plan,
                       const std::string& className, console::Moment end, QString& error,
                       bool practice = false);
// The seating plan with names on one page, for a substitute teacher.
bool WritePlanPage(const QString& path, const std::array<console::DeskPlanEntry, kDeskCount>& plan,
                   console::Moment at, QString& error);
