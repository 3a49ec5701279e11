// "Журнал вызовов": this lesson's calls, still-waiting ones first, as the
// lesson record gives them.
#pragma once

#include <QDialog>
#include <vector>

#include "console/lessonreport.h"

class QTableWidget;

class CallLogDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CallLogDialog(QWidget* parent);
  // Shows these rows (the dialog keeps its place and size).
  void ShowRows(const std::vector<console::CallLogRow>& rows);
  QTableWidget* table() const { return table_; }

 private:
  QTableWidget* table_ = nullptr;
};
