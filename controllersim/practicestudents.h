// The students of the practice class: now and then one presses the call
// button (the desk's LED lights, as on the real controller); a student the
// teacher has heard for a moment puts the call out, as in a lesson, and a
// call nobody answers ends after a while. Driven by the clock it is given.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace controllersim {

// How lively the class is; the teacher chooses.
enum class Liveliness { Quiet, Ordinary, Busy };

struct LivelinessRates {
  int64_t meanCallIntervalMs;  // between two new calls in the whole class
  int64_t patienceMs;          // an unanswered call ends after this
};
// A student heard this long has been answered and puts the call out.
inline constexpr int64_t kAnsweredAfterMs = 3000;
LivelinessRates RatesOf(Liveliness liveliness);
// "тихий", "обычный", "шумный"
const char* LivelinessText(Liveliness liveliness);

// What a student does to the controller: desk 1..16's LED lit or put out.
struct StudentAction {
  int desk = 0;
  bool lit = false;
  bool operator==(const StudentAction& other) const {
    return desk == other.desk && lit == other.lit;
  }
};

class PracticeStudents {
 public:
  PracticeStudents(uint32_t seed, int64_t nowMs, Liveliness liveliness = Liveliness::Ordinary);

  // The next call comes at the new rate, counted from now.
  void SetLiveliness(Liveliness liveliness, int64_t nowMs);
  Liveliness liveliness() const { return liveliness_; }
  // The next call comes at once (the guided lesson waits for one).
  void CallNow(int64_t nowMs) { nextCallMs_ = nowMs; }

  // One look at the class. `seated`: desks with a student (bit 0 = desk 1);
  // `lit`: the LEDs as the controller has them now; `heard`: the desks the
  // teacher listens to. A calling desk whose LED is out was put out by the
  // console; one heard for kAnsweredAfterMs, or past its patience, is put
  // out by its student; a new call lights a free seated desk when its time
  // has come.
  std::vector<StudentAction> Tick(int64_t nowMs, uint16_t seated, uint16_t lit,
                                  uint16_t heard = 0);

  // The desks calling now (bit 0 = desk 1), as this model knows them.
  uint16_t Calling() const;
  // When the next call comes.
  int64_t NextCallMs() const { return nextCallMs_; }

 private:
  int64_t DrawIntervalMs();
  int PickDesk(uint16_t free);
  void EndCall(int index);

  std::mt19937 random_;
  Liveliness liveliness_;
  int64_t nextCallMs_ = 0;
  std::array<int64_t, 16> callEndsMs_{};  // 0: not calling
  std::array<int64_t, 16> heardSinceMs_{};  // -1: not heard yet
};

}  // namespace controllersim
