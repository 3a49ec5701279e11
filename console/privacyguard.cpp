// The privacy guard: stops an operation at its first refusal and keeps
// unconfirmed writes in mind so that no later frame leaks a private talk.
#include "console/privacyguard.h"

#include <optional>

#include "link/frame.h"

namespace console {

namespace {

constexpr uint8_t kSpeakMode = 0x50;

uint16_t LineOf(const SwitchRegisters& r) {
  return static_cast<uint16_t>(r.LineHigh << 8 | r.LineLow);
}
uint16_t RoutePairsOf(const SwitchRegisters& r) {
  return static_cast<uint16_t>(r.Pairs << 8 | r.Route);
}
uint16_t Value(const RegisterWrite& w) { return static_cast<uint16_t>(w.high << 8 | w.low); }
uint16_t LeaksOf(uint16_t line, uint16_t routePairs) {
  return LeakingDesks(line, static_cast<uint8_t>(routePairs >> 8),
                      static_cast<uint8_t>(routePairs & 0xFF));
}

}  // namespace

uint16_t PrivateDesks(uint8_t pairs, uint8_t route) {
  uint16_t desks = 0;
  for (int pair = 0; pair < 8; ++pair) {
    if ((pairs >> pair) & 1) desks |= static_cast<uint16_t>(3u << (2 * pair));
  }
  if ((route & route::kModeMask) == kSpeakMode) {
    desks |= static_cast<uint16_t>(1u << (route & route::kDeskField));
  }
  return desks;
}

uint16_t LeakingDesks(uint16_t line, uint8_t pairs, uint8_t route) {
  return static_cast<uint16_t>(line & PrivateDesks(pairs, route));
}

PrivacyGuard::PrivacyGuard(FrameSender& inner, SwitchRegisters& copy)
    : inner_(inner), copy_(copy) {}

PrivacyGuard::Possible PrivacyGuard::Possibilities() const {
  Possible p;
  p.lines.push_back(LineOf(copy_));
  p.lines.insert(p.lines.end(), unsureLines_.begin(), unsureLines_.end());
  p.routes.push_back(RoutePairsOf(copy_));
  p.routes.insert(p.routes.end(), unsureRoutes_.begin(), unsureRoutes_.end());
  return p;
}

uint16_t PrivacyGuard::NewLeaks(const RegisterWrite& write) const {
  if (write.command != frame::kLine && write.command != frame::kRoutePairs) return 0;
  const Possible p = Possibilities();
  uint16_t added = 0;
  for (uint16_t line : p.lines) {
    for (uint16_t routePairs : p.routes) {
      const uint16_t before = LeaksOf(line, routePairs);
      const uint16_t after = write.command == frame::kLine ? LeaksOf(Value(write), routePairs)
                                                           : LeaksOf(line, Value(write));
      added = static_cast<uint16_t>(added | (after & ~before));
    }
  }
  return added;
}

void PrivacyGuard::Note(const RegisterWrite& write, bool acknowledged) {
  std::vector<uint16_t>* unsure = write.command == frame::kLine         ? &unsureLines_
                                  : write.command == frame::kRoutePairs ? &unsureRoutes_
                                                                        : nullptr;
  if (unsure == nullptr) return;
  // A whole register acknowledged: the controller holds exactly that now.
  if (acknowledged) {
    unsure->clear();
  } else {
    unsure->push_back(Value(write));
  }
}

bool PrivacyGuard::Pass(const WriteComposer& compose) {
  std::optional<RegisterWrite> sent;
  const bool ok = inner_.TransmitComposed([&]() -> std::optional<RegisterWrite> {
    sent = compose();
    return sent;
  });
  if (sent) Note(*sent, ok);
  if (!ok) refused_ = true;
  return ok;
}

bool PrivacyGuard::SettleOtherRegister(const RegisterWrite& write) {
  const bool otherIsRoute = write.command == frame::kLine;
  if ((otherIsRoute ? unsureRoutes_ : unsureLines_).empty()) return true;
  const RegisterWrite settle = otherIsRoute
                                   ? RegisterWrite{frame::kRoutePairs, copy_.Pairs, copy_.Route}
                                   : RegisterWrite{frame::kLine, copy_.LineHigh, copy_.LineLow};
  if (NewLeaks(settle) != 0) return false;
  if (!Pass([settle]() -> std::optional<RegisterWrite> { return settle; })) return false;
  CommitWrite(copy_, settle);
  return true;
}

bool PrivacyGuard::TransmitFrame(uint8_t command, uint8_t high, uint8_t low) {
  return TransmitComposed([&]() -> std::optional<RegisterWrite> {
    return RegisterWrite{command, high, low};
  });
}

bool PrivacyGuard::TransmitComposed(const WriteComposer& compose) {
  if (refused_) return false;
  const std::optional<RegisterWrite> planned = compose();
  if (planned && NewLeaks(*planned) != 0) {
    if (!SettleOtherRegister(*planned)) {
      if (!refused_) ++heldBack_;
      refused_ = true;
      return false;
    }
    if (NewLeaks(*planned) != 0) {
      ++heldBack_;
      refused_ = true;
      return false;
    }
  }
  return Pass(compose);
}

}  // namespace console
