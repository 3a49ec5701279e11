// The two truths every window test can ask about: the screen shows the
// console model's display, and the model's register copy is the controller's.
#pragma once

#include <QString>

#include "link/switchstate.h"
#include "tests/support/emulatorprocess.h"

class ConsoleWindow;

// Every difference between what the window shows and the display its model
// computes (console::ComputeDisplay), one per line; empty when there is none.
// Looked at: each desk's visibility, place, label, name and its editing, the
// selection look and marks (selected, microphone, call), listen and speak
// buttons, LED mark, line caption and highlight; the teacher's three buttons;
// the window title and its unsaved mark; and in the link
// picture each shown desk's frame band and the middle of each pair's line.
// The picture probes assume that frames and lines do not cross there (the
// stored layout and link codes "oo").
QString ScreenMismatch(ConsoleWindow& window);

// The controller's registers a comparison covers.
enum RegisterSet { kLedARegister = 1, kLineRegister = 2, kLedBRegister = 4, kRouteRegister = 8,
                   kAllRegisters = 15 };
// The registers of `which` where the copy and the controller differ, as text;
// empty when they agree.
QString RegisterMismatch(const SwitchRegisters& copy,
                         const testsupport::EmulatorRegisters& controller,
                         int which = kAllRegisters);
// The register set a write command (0x81..0x84) goes to; 0 for another byte.
int RegisterOfCommand(uint8_t command);
