// The timer dialog's controls.
#include "app/timerdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

TimerDialog::TimerDialog(const TimerChoice& initial, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TimerDialog"));
  setWindowTitle(QStringLiteral("Таймер"));
  auto* form = new QFormLayout(this);
  minutesBox = new QSpinBox(this);
  minutesBox->setRange(console::kMinTimerMinutes, console::kMaxTimerMinutes);
  minutesBox->setValue(initial.minutes);
  minutesBox->setSuffix(QStringLiteral(" мин"));
  minutesBox->setAccessibleName(QStringLiteral("Длительность в минутах"));
  minutesBox->setAccessibleDescription(QStringLiteral("От 1 до 90 минут"));
  form->addRow(QStringLiteral("Время:"), minutesBox);
  endBox = new QComboBox(this);
  // In the order of TimerEndAction.
  endBox->addItem(QStringLiteral("ничего не делать"));
  endBox->addItem(QStringLiteral("все столы к линии"));
  endBox->addItem(QStringLiteral("сброс"));
  endBox->setCurrentIndex(static_cast<int>(initial.action));
  endBox->setAccessibleName(QStringLiteral("Действие по окончании"));
  endBox->setAccessibleDescription(
      QStringLiteral("Что сделать со всеми столами, когда время выйдет"));
  form->addRow(QStringLiteral("По окончании:"), endBox);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Запустить"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

TimerChoice TimerDialog::choice() const {
  return {minutesBox->value(), static_cast<console::TimerEndAction>(endBox->currentIndex())};
}

std::optional<TimerChoice> TimerDialog::Ask(const TimerChoice& initial, QWidget* parent) {
  TimerDialog dialog(initial, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.choice();
}
