// Names the window parts' controls for screen readers: each part describes
// its own controls through this; the keys' owner reads back each control's
// key to add it to the tooltip that shows.
#pragma once

#include <QString>
#include <utility>
#include <vector>

class QWidget;

class ControlDescriber {
 public:
  // With a key, the key is added to the description and kept for the tooltip.
  void Describe(QWidget* control, const QString& name, const QString& description,
                const QString& key = QString());
  // The key `control` was described with; "" when none.
  QString KeyOf(const QWidget* control) const;

 private:
  std::vector<std::pair<const QWidget*, QString>> keys_;
};
