// What the status area says: the link's state (it stays), the latest tool
// result (it goes after a while or at the next one) and the lesson's last
// messages, kept to be read again. Driven by the clock it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace console {

struct StatusEntry {
  int64_t atMs = 0;  // on the clock the messages were given
  std::string text;
  bool operator==(const StatusEntry& o) const { return atMs == o.atMs && text == o.text; }
};

class StatusMessages {
 public:
  static constexpr int64_t kToolResultShownMs = 10000;
  static constexpr size_t kKeptEntries = 100;

  // The link's state: shown until the next state; kept when it changes.
  void SetLinkState(const std::string& text, int64_t nowMs);
  const std::string& linkState() const { return linkState_; }

  // A tool's result ("Расстановка применена."): replaces the one shown.
  void ShowToolResult(const std::string& text, int64_t nowMs);
  // The result shown at `nowMs`: "" once its time is over.
  std::string ToolResult(int64_t nowMs) const;
  // How long until the shown result goes; nothing while none is shown.
  std::optional<int64_t> RemainingMs(int64_t nowMs) const;

  // The lesson's messages, oldest first, the last kKeptEntries of them.
  const std::deque<StatusEntry>& History() const { return history_; }

 private:
  void Keep(const std::string& text, int64_t nowMs);

  std::string linkState_;
  std::string toolResult_;
  int64_t toolResultAtMs_ = 0;
  std::deque<StatusEntry> history_;
};

}  // namespace console
