// The controls' names and keys for screen readers.
#include "app/controldescriber.h"

#include <QWidget>

void ControlDescriber::Describe(QWidget* control, const QString& name, const QString& description,
                                const QString& key) {
  if (control == nullptr) return;
  control->setAccessibleName(name);
  QString full = description;
  if (!key.isEmpty()) {
    full += QStringLiteral(" Клавиша: %1.").arg(key);
    keys_.emplace_back(control, key);
  }
  control->setAccessibleDescription(full);
}

QString ControlDescriber::KeyOf(const QWidget* control) const {
  for (const auto& [described, key] : keys_) {
    if (described == control) return key;
  }
  return {};
}
