// The console's fixed colours (the Windows system colours it was designed with).
#pragma once

#include <QColor>

namespace colours {

inline const QColor kInfoBackground(255, 255, 225);  // COLOR_INFOBK: desk panels, name boxes
inline const QColor kHighlight(192, 220, 192);       // desk listened or spoken to
inline const QColor kWindow(255, 255, 255);          // COLOR_WINDOW: name box being edited
inline const QColor kButtonFace(240, 240, 240);      // window background
inline const QColor kNameText(0, 0, 128);            // navy
inline const QColor kLink(0, 0, 255);                // pair lines and line frames

}  // namespace colours
