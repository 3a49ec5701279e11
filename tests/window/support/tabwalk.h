// Walks the window with Tab alone and names the buttons it never reached.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <set>

// From `start`, Tab pressed often enough to go round the window more than once;
// the shown, enabled buttons of `window` that never had the focus (empty if none).
inline QStringList ButtonsTabMisses(QWidget& window, QWidget* start) {
  start->setFocus(Qt::TabFocusReason);
  std::set<QWidget*> reached;
  for (int i = 0; i < 400 && QApplication::focusWidget() != nullptr; ++i) {
    reached.insert(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  QStringList missed;
  for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(&window) || !button->isEnabled()) continue;
    if (reached.count(button) == 0) missed << button->objectName();
  }
  return missed;
}
