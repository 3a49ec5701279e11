// The class list preview: the file's rows, the choices and the desks' table,
// all recomputed from the Qt-free table whenever a choice changes.
#include "app/classlistdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

QTableWidget* ReadOnlyTable(int rows, int columns, const QString& name, QWidget* parent) {
  auto* table = new QTableWidget(rows, columns, parent);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->horizontalHeader()->setStretchLastSection(true);
  table->setAccessibleName(name);
  return table;
}

}  // namespace

ClassListDialog::ClassListDialog(console::ClassTable list,
                                 const std::array<console::DeskPlanEntry, kDeskCount>& plan,
                                 QWidget* parent)
    : QDialog(parent), list_(std::move(list)), plan_(plan) {
  setObjectName(QStringLiteral("ClassListDialog"));
  setWindowTitle(QStringLiteral("Список класса"));
  resize(640, 560);
  auto* layout = new QVBoxLayout(this);

  auto* choices = new QFormLayout;
  columnBox = new QComboBox(this);
  columnBox->setObjectName(QStringLiteral("ClassListColumn"));
  auto* columnLabel = new QLabel(QStringLiteral("&Столбец с именами:"), this);
  columnLabel->setBuddy(columnBox);
  choices->addRow(columnLabel, columnBox);
  headerBox = new QCheckBox(QStringLiteral("&Первая строка — заголовок, не ученик"), this);
  headerBox->setObjectName(QStringLiteral("ClassListHeader"));
  choices->addRow(headerBox);
  layout->addLayout(choices);

  fileTable = ReadOnlyTable(0, 0, QStringLiteral("Строки файла"), this);
  fileTable->setMaximumHeight(180);
  layout->addWidget(fileTable);
  summary = new QLabel(this);
  summary->setTextFormat(Qt::PlainText);
  summary->setWordWrap(true);
  layout->addWidget(summary);

  auto* hint = new QLabel(QStringLiteral("Имена будут вписаны в видимые столы по порядку плана "
                                         "(ряды сверху вниз, в ряду слева направо)."),
                          this);
  hint->setTextFormat(Qt::PlainText);
  hint->setWordWrap(true);
  layout->addWidget(hint);
  table = ReadOnlyTable(0, 3, QStringLiteral("Предпросмотр списка класса"), this);
  table->setHorizontalHeaderLabels(
      {QStringLiteral("Стол"), QStringLiteral("Имя"), QStringLiteral("Что будет")});
  table->verticalHeader()->hide();
  layout->addWidget(table);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Вписать имена"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(headerBox, &QCheckBox::toggled, this, [this](bool header) {
    console::TableChoice next = choice_;
    next.header = header;
    // A surname and name pair is known by the header only.
    if (!header) next.secondColumn = -1;
    Choose(next);
  });
  connect(columnBox, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    if (index >= 0 && static_cast<size_t>(index) < options_.size())
      Choose(options_[static_cast<size_t>(index)].choice);
  });
  Choose(console::GuessChoice(list_));
  columnBox->setFocus();
}

void ClassListDialog::Choose(const console::TableChoice& choice) {
  choice_ = choice;
  rows_ = console::PlanTableImport(list_, choice_, plan_);
  FillColumns();
  ShowFile();
  ShowRows();
}

void ClassListDialog::FillColumns() {
  options_ = console::ColumnOptions(list_, choice_.header);
  const QSignalBlocker blockColumns(columnBox);
  const QSignalBlocker blockHeader(headerBox);
  columnBox->clear();
  for (size_t i = 0; i < options_.size(); ++i) {
    columnBox->addItem(Text(options_[i].text));
    const console::TableChoice& option = options_[i].choice;
    if (option.column == choice_.column && option.secondColumn == choice_.secondColumn)
      columnBox->setCurrentIndex(static_cast<int>(i));
  }
  headerBox->setChecked(choice_.header);
}

void ClassListDialog::ShowFile() {
  const int columns = static_cast<int>(list_.Columns());
  fileTable->clear();
  fileTable->setRowCount(static_cast<int>(list_.rows.size()));
  fileTable->setColumnCount(columns);
  const std::vector<console::TakenName> taken = console::TakeNames(list_, choice_);
  for (int r = 0; r < fileTable->rowCount(); ++r) {
    const auto& row = list_.rows[static_cast<size_t>(r)];
    const bool isTaken = std::any_of(taken.begin(), taken.end(), [r](const console::TakenName& t) {
      return t.row == static_cast<size_t>(r);
    });
    for (int c = 0; c < columns; ++c) {
      auto* item = new QTableWidgetItem(
          static_cast<size_t>(c) < row.size() ? Text(row[static_cast<size_t>(c)]) : QString());
      const bool nameColumn = c == choice_.column || c == choice_.secondColumn;
      if (r == 0 && choice_.header) {
        item->setForeground(QColor(110, 110, 110));
      } else if (isTaken && nameColumn) {
        item->setBackground(QColor(200, 235, 200));
      }
      fileTable->setItem(r, c, item);
    }
  }
  fileTable->resizeColumnsToContents();
  summary->setText(Text(console::ChoiceSummary(list_, choice_)));
}

void ClassListDialog::ShowRows() {
  table->setRowCount(static_cast<int>(rows_.size()));
  for (int r = 0; r < table->rowCount(); ++r) {
    const console::ImportRow& row = rows_[static_cast<size_t>(r)];
    const QString desk = row.desk >= 0 ? Text(plan_[static_cast<size_t>(row.desk)].label)
                                       : QStringLiteral("—");
    const QString name = Text(row.fate == console::NameFate::Cut ? row.stored : row.name);
    table->setItem(r, 0, new QTableWidgetItem(desk));
    table->setItem(r, 1, new QTableWidgetItem(name));
    table->setItem(r, 2, new QTableWidgetItem(Text(console::FateText(row))));
    if (row.fate != console::NameFate::Kept) {
      const QColor tone =
          row.fate == console::NameFate::Cut ? QColor(255, 240, 180) : QColor(255, 200, 200);
      for (int c = 0; c < 3; ++c) table->item(r, c)->setBackground(tone);
    }
  }
  table->resizeColumnsToContents();
}
