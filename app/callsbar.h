// The students' calls under the plan, a row of the strip while any wait
// (hidden otherwise): "Вызовов: N" with every waiting call
// in its menu, then as many entries (desk, name, how long it waits) as the
// room holds, first caller first: whole, or short ("7 · Жуков И. · 3 мин")
// when that shows more of them. No entry is ever cut: those that do not fit
// are in the count's menu, and the count says how many ("ещё 12").
// A click (or Enter) answers by listening.
#pragma once

#include <QMenu>
#include <QToolButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "console/display.h"

class ControlDescriber;
class CallsBar : public QWidget {
  Q_OBJECT
 public:
  // Names its controls for screen readers, with their keys.
  void DescribeControls(ControlDescriber& keys);
  explicit CallsBar(QWidget* parent);

  void Draw(const console::ConsoleDisplay& shown);
  // The waits grow: the texts are made again from the last calls drawn.
  void Refresh();

  QToolButton* count = nullptr;  // "CallCount": "Вызовов: N" and the menu of all calls
  QMenu* allCalls = nullptr;     // "AllCalls": one entry per waiting call
  QWidget* list = nullptr;       // "CallList": the entries "Call<desk>" that fit whole

  // The entries the strip shows now (the rest are only in the menu).
  int ShownEntries() const;
  // Whether they are the short entries.
  bool ShowsShortEntries() const { return compact_; }

 signals:
  void answer(int desk);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Rebuild();
  void FitEntries();

  std::vector<console::Call> calls_;
  std::array<std::string, kDeskCount> names_;
  int RoomBeside(const QString& countText);

  std::vector<QToolButton*> entries_;
  std::vector<QString> wholeTexts_;
  std::vector<QString> compactTexts_;
  bool compact_ = false;
  QTimer* waitTicker_ = nullptr;
};
