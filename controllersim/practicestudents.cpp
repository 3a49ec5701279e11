// The practice class's students: calls at the chosen rate, each ending by
// itself when nobody answers.
#include "controllersim/practicestudents.h"

namespace controllersim {

namespace {

constexpr int kDesks = 16;

uint16_t Bit(int index) { return static_cast<uint16_t>(1u << index); }

}  // namespace

LivelinessRates RatesOf(Liveliness liveliness) {
  switch (liveliness) {
    case Liveliness::Quiet:
      return {60000, 60000};
    case Liveliness::Busy:
      return {8000, 30000};
    case Liveliness::Ordinary:
      break;
  }
  return {25000, 45000};
}

const char* LivelinessText(Liveliness liveliness) {
  switch (liveliness) {
    case Liveliness::Quiet:
      return "тихий";
    case Liveliness::Busy:
      return "шумный";
    case Liveliness::Ordinary:
      break;
  }
  return "обычный";
}

PracticeStudents::PracticeStudents(uint32_t seed, int64_t nowMs, Liveliness liveliness)
    : random_(seed), liveliness_(liveliness) {
  heardSinceMs_.fill(-1);
  // The first call comes sooner than the others: a class just sat down.
  nextCallMs_ = nowMs + DrawIntervalMs() / 2;
}

void PracticeStudents::SetLiveliness(Liveliness liveliness, int64_t nowMs) {
  liveliness_ = liveliness;
  nextCallMs_ = nowMs + DrawIntervalMs();
}

// Evenly between half and one and a half of the mean: calls neither bunch
// up nor come like clockwork.
int64_t PracticeStudents::DrawIntervalMs() {
  const int64_t mean = RatesOf(liveliness_).meanCallIntervalMs;
  std::uniform_int_distribution<int64_t> spread(mean / 2, mean + mean / 2);
  return spread(random_);
}

int PracticeStudents::PickDesk(uint16_t free) {
  int count = 0;
  for (int d = 0; d < kDesks; ++d) count += (free & Bit(d)) ? 1 : 0;
  if (count == 0) return -1;
  std::uniform_int_distribution<int> pick(0, count - 1);
  int nth = pick(random_);
  for (int d = 0; d < kDesks; ++d) {
    if (!(free & Bit(d))) continue;
    if (nth-- == 0) return d;
  }
  return -1;
}

std::vector<StudentAction> PracticeStudents::Tick(int64_t nowMs, uint16_t seated, uint16_t lit,
                                                  uint16_t heard) {
  std::vector<StudentAction> actions;
  for (int d = 0; d < kDesks; ++d) {
    if (callEndsMs_[d] == 0) continue;
    if (!(heard & Bit(d))) {
      heardSinceMs_[d] = -1;
    } else if (heardSinceMs_[d] < 0) {
      heardSinceMs_[d] = nowMs;
    }
    const bool answered = heardSinceMs_[d] >= 0 && nowMs - heardSinceMs_[d] >= kAnsweredAfterMs;
    if (!(lit & Bit(d))) {
      EndCall(d);  // the console put the LED out
    } else if (answered || nowMs >= callEndsMs_[d]) {
      EndCall(d);  // heard, or nobody came: the student puts the call out
      actions.push_back({d + 1, false});
      lit = static_cast<uint16_t>(lit & ~Bit(d));
    }
  }
  while (nowMs >= nextCallMs_) {
    const int desk = PickDesk(static_cast<uint16_t>(seated & ~lit));
    // Every seated student calls already: the next one waits a whole interval.
    if (desk < 0) {
      nextCallMs_ = nowMs + DrawIntervalMs();
      break;
    }
    callEndsMs_[desk] = nowMs + RatesOf(liveliness_).patienceMs;
    actions.push_back({desk + 1, true});
    lit = static_cast<uint16_t>(lit | Bit(desk));
    nextCallMs_ += DrawIntervalMs();
  }
  return actions;
}

void PracticeStudents::EndCall(int index) {
  callEndsMs_[index] = 0;
  heardSinceMs_[index] = -1;
}

uint16_t PracticeStudents::Calling() const {
  uint16_t calling = 0;
  for (int d = 0; d < kDesks; ++d) {
    if (callEndsMs_[d] != 0) calling = static_cast<uint16_t>(calling | Bit(d));
  }
  return calling;
}

}  // namespace controllersim
