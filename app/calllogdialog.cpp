// The call log dialog: a read-only table filled from the lesson record.
#include "app/calllogdialog.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kColumns = 5;
const QColor kWaitingColour(255, 200, 140);

}  // namespace

CallLogDialog::CallLogDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CallLog"));
  setWindowTitle(QStringLiteral("Журнал вызовов"));
  auto* layout = new QVBoxLayout(this);
  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("CallLogTable"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Время"), QStringLiteral("Стол"),
                                     QStringLiteral("Ученик"), QStringLiteral("Ожидание"),
                                     QStringLiteral("Длительность")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  layout->addWidget(table_);
  resize(520, 320);
}

void CallLogDialog::ShowRows(const std::vector<console::CallLogRow>& rows) {
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const console::CallLogRow& row = rows[r];
    const std::string cells[kColumns] = {row.time, row.desk, row.name, row.waited, row.lasted};
    for (int c = 0; c < kColumns; ++c) {
      QTableWidgetItem* item = table_->item(r, c);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        table_->setItem(r, c, item);
      }
      // Plain text: a name is never read as markup.
      item->setText(QString::fromStdString(cells[c]));
      item->setBackground(row.waiting ? QBrush(kWaitingColour) : QBrush());
    }
  }
}
