// The thin bar and figure on a desk panel: how long the teacher has
// listened to the desk in this lesson.
#pragma once

#include <QWidget>

#include "console/lessonreport.h"

class HeardGaugeWidget : public QWidget {
  Q_OBJECT
 public:
  explicit HeardGaugeWidget(QWidget* parent);
  void setGauge(const console::HeardGauge& gauge);
  const console::HeardGauge& gauge() const { return gauge_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  console::HeardGauge gauge_;
};
