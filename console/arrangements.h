// An arrangement of the class taken from what the console shows, and put
// back with the console's own per-desk operations.
#pragma once

#include <string>

#include "config/arrangementfile.h"
#include "console/consolemodel.h"

namespace console {

// The joined pairs and the desks on the line as the screen shows them (a desk
// spoken to and so off the line for now counts as on it).
classroom::Arrangement CaptureArrangement(const ConsoleModel& model, const std::string& name);

struct ArrangementOutcome {
  bool complete = true;
  std::string text;  // Russian, plain, for the status strip
};

// Ends a private talk first, then in desk order: joins a wanted pair, parts
// a joined pair not wanted, puts a wanted desk on the line (only while the
// teacher's line or the input is on the line, else the line button would
// join its pair), takes off the line a desk the arrangement does not put
// there. Stops at the first operation with a refused request and names its
// desk. Complete only when the acknowledged registers are the arrangement on
// every shown desk.
ArrangementOutcome ApplyArrangement(ConsoleModel& model, const classroom::Arrangement& arrangement);

}  // namespace console
