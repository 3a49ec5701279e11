// The students' calls under the plan: "Вызовов: N" with every waiting call
// in its menu, then as many whole entries (desk, name, how long it waits) as
// the room holds, first caller first. No entry is ever cut: those that do
// not fit are in the count's menu. A click (or Enter) answers by listening.
#pragma once

#include <QMenu>
#include <QToolButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "console/display.h"

class CallsBar : public QWidget {
  Q_OBJECT
 public:
  explicit CallsBar(QWidget* parent);

  void Draw(const console::ConsoleDisplay& shown);
  // The waits grow: the texts are made again from the last calls drawn.
  void Refresh();

  QToolButton* count = nullptr;  // "CallCount": "Вызовов: N" and the menu of all calls
  QMenu* allCalls = nullptr;     // "AllCalls": one entry per waiting call
  QWidget* list = nullptr;       // "CallList": the entries "Call<desk>" that fit whole

  // The entries the strip shows now (the rest are only in the menu).
  int ShownEntries() const;

 signals:
  void answer(int desk);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Rebuild();
  void FitEntries();

  std::vector<console::Call> calls_;
  std::array<std::string, kDeskCount> names_;
  std::vector<QToolButton*> entries_;
  QTimer* waitTicker_ = nullptr;
};
