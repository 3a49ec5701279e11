// Controls placed by the described geometry drawn at the plan's scale: each
// control's described place, font size and icon size are remembered once,
// and every scale is applied from them, so nothing drifts with rounding and
// at scale 1 every control is back on its described pixel.
#pragma once

#include <QWidget>

#include "console/planscale.h"

// Scales the controls inside `root` (not `root` itself, which its owner
// places) and `root`'s own font. Controls that set the property
// "scalesItself" are left to do it themselves.
void ScaleControls(QWidget* root, const console::PlanScale& plan);
