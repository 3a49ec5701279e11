// The class list preview's table.
#include "app/classlistdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

ClassListDialog::ClassListDialog(const std::vector<console::ImportRow>& rows, size_t leftOut,
                                 const std::array<console::DeskPlanEntry, kDeskCount>& plan,
                                 QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("ClassListDialog"));
  setWindowTitle(QStringLiteral("Список класса"));
  resize(560, 420);
  auto* layout = new QVBoxLayout(this);
  auto* hint = new QLabel(QStringLiteral("Имена будут вписаны в видимые столы по порядку плана "
                                         "(ряды сверху вниз, в ряду слева направо)."),
                          this);
  hint->setTextFormat(Qt::PlainText);
  hint->setWordWrap(true);
  layout->addWidget(hint);
  table = new QTableWidget(static_cast<int>(rows.size()), 3, this);
  table->setHorizontalHeaderLabels(
      {QStringLiteral("Стол"), QStringLiteral("Имя"), QStringLiteral("Что будет")});
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  table->setAccessibleName(QStringLiteral("Предпросмотр списка класса"));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const console::ImportRow& row = rows[static_cast<size_t>(r)];
    const QString desk = row.desk >= 0
                             ? QString::fromStdString(plan[static_cast<size_t>(row.desk)].label)
                             : QStringLiteral("—");
    const QString name =
        QString::fromStdString(row.fate == console::NameFate::Cut ? row.stored : row.name);
    auto* fate = new QTableWidgetItem(QString::fromStdString(console::FateText(row)));
    table->setItem(r, 0, new QTableWidgetItem(desk));
    table->setItem(r, 1, new QTableWidgetItem(name));
    table->setItem(r, 2, fate);
    if (row.fate != console::NameFate::Kept) {
      const QColor tone =
          row.fate == console::NameFate::Cut ? QColor(255, 240, 180) : QColor(255, 200, 200);
      for (int c = 0; c < 3; ++c) table->item(r, c)->setBackground(tone);
    }
  }
  if (leftOut > 0) {
    const int last = table->rowCount();
    table->insertRow(last);
    auto* more = new QTableWidgetItem(QString::fromStdString(console::LeftOutText(leftOut)));
    more->setBackground(QColor(255, 200, 200));
    table->setItem(last, 0, new QTableWidgetItem(QStringLiteral("—")));
    table->setItem(last, 1, more);
    table->setSpan(last, 1, 1, 2);
  }
  table->resizeColumnsToContents();
  layout->addWidget(table);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Вписать имена"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}
