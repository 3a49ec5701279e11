// The preview of a class list import: which desk gets which name, and which
// names are cut or refused, before anything goes into the plan.
#pragma once

#include <QDialog>
#include <vector>

#include "console/classlist.h"
#include "console/display.h"

class QTableWidget;

class ClassListDialog : public QDialog {
  Q_OBJECT
 public:
  // `leftOut`: names of the list after those it could place (a last row counts them).
  ClassListDialog(const std::vector<console::ImportRow>& rows, size_t leftOut,
                  const std::array<console::DeskPlanEntry, kDeskCount>& plan, QWidget* parent);
  QTableWidget* table = nullptr;
};
