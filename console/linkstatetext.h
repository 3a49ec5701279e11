// The status strip's words for the link's state: what the teacher reads
// under the plan. Qt-free, so the wording is tested as a table.
#pragma once

#include <string>

#include "link/linkstatus.h"

namespace console {

enum class LinkTone { Neutral, Good, Bad };

struct LinkStateText {
  std::string text;
  LinkTone tone = LinkTone::Neutral;
};

// sinceClock: the wall-clock time ("12:03:04") the controller stopped answering.
LinkStateText DescribeLinkState(const LinkStatusSnapshot& status, const std::string& sinceClock);

// The strip offers to look for the controller on the other ports while the
// one in use does not answer or is gone.
bool OffersControllerSearch(const LinkStatusSnapshot& status);

}  // namespace console
