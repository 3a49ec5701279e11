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
  ClassListDialog(const std::vector<console::ImportRow>& rows,
                  const std::array<console::DeskPlanEntry, kDeskCount>& plan, QWidget* parent);
  QTableWidget* table = nullptr;
};
