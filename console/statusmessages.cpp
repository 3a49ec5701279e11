// The status area's messages over a given clock.
#include "console/statusmessages.h"

namespace console {

void StatusMessages::SetLinkState(const std::string& text, int64_t nowMs) {
  if (text == linkState_) return;
  linkState_ = text;
  Keep(text, nowMs);
}

void StatusMessages::ShowToolResult(const std::string& text, int64_t nowMs) {
  toolResult_ = text;
  toolResultAtMs_ = nowMs;
  if (!text.empty()) Keep(text, nowMs);
}

std::string StatusMessages::ToolResult(int64_t nowMs) const {
  return RemainingMs(nowMs) ? toolResult_ : std::string();
}

std::optional<int64_t> StatusMessages::RemainingMs(int64_t nowMs) const {
  if (toolResult_.empty()) return std::nullopt;
  // A clock set back ends it rather than keeping it for as long.
  const int64_t shown = nowMs - toolResultAtMs_;
  if (shown < 0 || shown >= kToolResultShownMs) return std::nullopt;
  return kToolResultShownMs - shown;
}

void StatusMessages::Keep(const std::string& text, int64_t nowMs) {
  history_.push_back({nowMs, text});
  while (history_.size() > kKeptEntries) history_.pop_front();
}

}  // namespace console
