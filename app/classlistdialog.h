// The preview of a class list import: the file's first rows with the names
// taken marked, which desk gets which name, and the teacher's choice of the
// names' column and of whether the first row is a header.
#pragma once

#include <QDialog>
#include <vector>

#include "console/classlist.h"
#include "console/classtable.h"
#include "console/display.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QTableWidget;

class ClassListDialog : public QDialog {
  Q_OBJECT
 public:
  ClassListDialog(console::ClassTable list, const std::array<console::DeskPlanEntry, kDeskCount>& plan,
                  QWidget* parent);
  // What the current choice puts into the desks.
  const std::vector<console::ImportRow>& rows() const { return rows_; }
  const console::TableChoice& choice() const { return choice_; }

  QTableWidget* fileTable = nullptr;  // the file's rows as read
  QTableWidget* table = nullptr;      // desk, name, what happens to it
  QComboBox* columnBox = nullptr;
  QCheckBox* headerBox = nullptr;
  QLabel* summary = nullptr;

 private:
  void FillColumns();
  void Choose(const console::TableChoice& choice);
  void ShowFile();
  void ShowRows();

  console::ClassTable list_;
  std::array<console::DeskPlanEntry, kDeskCount> plan_;
  console::TableChoice choice_;
  std::vector<console::ColumnOption> options_;
  std::vector<console::ImportRow> rows_;
};
