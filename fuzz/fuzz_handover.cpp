// Fuzz target: whatever a connection sends to the running console, split at
// any point. The parser must never read past the limit, must give one answer
// however the bytes arrive, and a path it accepts must go back and forth unchanged.
#include <string>

#include "console/handover.h"
#include "fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input input(data, size);
  const size_t split = input.Word();
  const std::string received = input.Rest();

  std::string path;
  const handover::Message whole = handover::Parse(received, path);
  if (whole == handover::Message::Open) {
    FUZZ_CHECK(!path.empty() && path.size() < handover::kMaxMessageBytes);
    FUZZ_CHECK(path.find('\n') == std::string::npos && path.find('\0') == std::string::npos);
    std::string again;
    FUZZ_CHECK(handover::Parse(handover::Compose(path), again) == handover::Message::Open);
    FUZZ_CHECK(again == path);
  }
  if (whole == handover::Message::Raise) FUZZ_CHECK(received == "\n" || received == "\r\n");
  if (whole == handover::Message::Incomplete) {
    FUZZ_CHECK(received.find('\n') == std::string::npos);
    FUZZ_CHECK(received.size() < handover::kMaxMessageBytes);
  }

  // The first part alone is never a different complete answer: a line ends
  // only at its line end.
  if (split < received.size()) {
    std::string early;
    const handover::Message first = handover::Parse(received.substr(0, split), early);
    if (first == handover::Message::Open || first == handover::Message::Raise) {
      FUZZ_CHECK(whole == handover::Message::Invalid);  // bytes after the line
    }
  }

  const handover::Reply reply = handover::ParseReply(received);
  if (reply == handover::Reply::Taken) FUZZ_CHECK(received == handover::kTaken);
  return 0;
}
