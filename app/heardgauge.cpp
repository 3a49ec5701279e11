// The heard gauge's drawing.
#include "app/heardgauge.h"

#include <QPainter>
#include <algorithm>

namespace {

// Between the name box and the buttons of a desk panel, at the described size.
const QRect kGeometry(6, 38, 106, 10);
constexpr int kBarWidth = 66;
constexpr int kFontPixels = 9;

}  // namespace

HeardGaugeWidget::HeardGaugeWidget(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("HeardGauge"));
  // Presses go to the panel underneath: it selects and drags the desk.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(kGeometry);
}

void HeardGaugeWidget::setGauge(const console::HeardGauge& gauge) {
  if (gauge.permille == gauge_.permille && gauge.figure == gauge_.figure &&
      gauge.neverHeard == gauge_.neverHeard) {
    return;
  }
  gauge_ = gauge;
  setToolTip(
      gauge.neverHeard
          ? QStringLiteral("На этом уроке стол ещё не слушали")
          : QStringLiteral("Слушали на этом уроке: %1").arg(QString::fromStdString(gauge.figure)));
  update();
}

void HeardGaugeWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor never(200, 0, 0);
  // Drawn in proportion to the gauge, which grows with the plan.
  const int barWidth = width() * kBarWidth / kGeometry.width();
  const QRect bar(0, 2, barWidth, height() - 4);
  painter.fillRect(bar, QColor(225, 225, 225));
  painter.fillRect(QRect(bar.x(), bar.y(), bar.width() * gauge_.permille / 1000, bar.height()),
                   QColor(0, 150, 0));
  if (gauge_.neverHeard) {
    painter.setPen(QPen(never, 1));
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
  }
  QFont font = painter.font();
  font.setPixelSize(std::max(1, kFontPixels * height() / kGeometry.height()));
  font.setBold(gauge_.neverHeard);
  painter.setFont(font);
  painter.setPen(gauge_.neverHeard ? never : QColor(Qt::black));
  painter.drawText(QRect(barWidth + 4, 0, width() - barWidth - 4, height()),
                   Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(gauge_.figure));
}
