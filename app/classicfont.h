// The console's own font, as the described window and its dialogs use it.
#pragma once

#include <QFont>

// "MS Sans Serif" at 11 pixels where the system has it, else DejaVu Sans.
QFont ClassicFont();
