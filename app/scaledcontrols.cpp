// Remembered described geometry applied at a scale.
#include "app/scaledcontrols.h"

#include <QAbstractButton>
#include <QVariant>

namespace {

const char kGeometry[] = "describedGeometry";
const char kFontPixels[] = "describedFontPixels";
const char kIconSize[] = "describedIconSize";

template <typename T>
T Remembered(QWidget* w, const char* name, const T& now) {
  const QVariant kept = w->property(name);
  if (kept.isValid()) return kept.value<T>();
  w->setProperty(name, QVariant::fromValue(now));
  return now;
}

void ScaleFont(QWidget* w, const console::PlanScale& plan, bool root) {
  // Only where the font was set on the control (and on the root, which the
  // others inherit it from).
  if ((!root && !w->testAttribute(Qt::WA_SetFont)) || w->font().pixelSize() <= 0) return;
  const int described = Remembered(w, kFontPixels, w->font().pixelSize());
  QFont font = w->font();
  font.setPixelSize(plan.FontPixels(described));
  if (font != w->font()) w->setFont(font);
}

void ScaleOne(QWidget* w, const console::PlanScale& plan) {
  const QRect described = Remembered(w, kGeometry, w->geometry());
  const console::PlanRect r =
      plan.Inner({described.x(), described.y(), described.width(), described.height()});
  const QRect wanted(r.left, r.top, r.width, r.height);
  if (w->geometry() != wanted) w->setGeometry(wanted);
  ScaleFont(w, plan, false);
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    const QSize icon = Remembered(w, kIconSize, button->iconSize());
    const QSize scaled(plan.Length(icon.width()), plan.Length(icon.height()));
    if (button->iconSize() != scaled) button->setIconSize(scaled);
  }
}

void ScaleChildren(QWidget* parent, const console::PlanScale& plan) {
  for (QWidget* child : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (child->isWindow() || child->property("scalesItself").toBool()) continue;
    ScaleOne(child, plan);
    ScaleChildren(child, plan);
  }
}

}  // namespace

void ScaleControls(QWidget* root, const console::PlanScale& plan) {
  ScaleFont(root, plan, true);
  ScaleChildren(root, plan);
}
