// Parsing the hand-over line and its answer; nothing trusted beyond the limits.
#include "console/handover.h"

#include "config/utf8.h"

namespace handover {
namespace {

bool Absolute(std::string_view path) {
  if (!path.empty() && path[0] == '/') return true;
#ifdef _WIN32
  // "C:\..." or "C:/..." and "\\server\share\...".
  if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return true;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
#endif
  return false;
}

bool WellFormedUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    size_t length = 0;
    if (!utf8::Decode(text, i, cp, length)) return false;
    i += length;
  }
  return true;
}

}  // namespace

Message Parse(std::string_view received, std::string& path) {
  const size_t end = received.find('\n');
  if (end == std::string_view::npos) {
    return received.size() < kMaxMessageBytes ? Message::Incomplete : Message::Invalid;
  }
  // One path per connection: anything after the line is not ours to guess at.
  if (end >= kMaxMessageBytes || end + 1 != received.size()) return Message::Invalid;
  std::string_view line = received.substr(0, end);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return Message::Raise;
  if (line.find('\0') != std::string_view::npos || line.find('\r') != std::string_view::npos ||
      !WellFormedUtf8(line) || !Absolute(line)) {
    return Message::Invalid;
  }
  path.assign(line);
  return Message::Open;
}

std::string Compose(std::string_view path) { return std::string(path) + '\n'; }

Reply ParseReply(std::string_view received) {
  const std::string_view taken(kTaken);
  if (received.size() > taken.size() || taken.compare(0, received.size(), received) != 0) {
    return Reply::Invalid;
  }
  return received.size() == taken.size() ? Reply::Taken : Reply::Incomplete;
}

}  // namespace handover
