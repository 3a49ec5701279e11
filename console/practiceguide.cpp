// The guided first lesson: each step's test on the console's state, its text.
#include "console/practiceguide.h"

#include <algorithm>

namespace console {

namespace {

uint16_t CallingMask(const ConsoleDisplay& shown) {
  uint16_t mask = 0;
  for (const Call& call : shown.calls) mask = static_cast<uint16_t>(mask | (1u << call.desk));
  return mask;
}

template <typename Test>
bool AnyVisibleDesk(const ConsoleDisplay& shown, Test test) {
  for (int d = 0; d < kDeskCount; ++d) {
    if (shown.desks[d].visible && test(d, shown.desks[d])) return true;
  }
  return false;
}

bool WholeClassOnLine(const GuideState& state) {
  bool anyVisible = false;
  for (int d = 0; d < kDeskCount; ++d) {
    if (!state.shown->desks[d].visible) continue;
    anyVisible = true;
    if (!LineBitIn(*state.registers, d)) return false;
  }
  return anyVisible;
}

}  // namespace

GuideText TextOf(GuideStep step) {
  switch (step) {
    case GuideStep::Listen:
      return {"Шаг 1 из 6. Послушайте стол",
              "Нажмите кнопку с наушниками на любом столе (или выберите стол стрелками и "
              "нажмите Пробел). Стол подсветится: вы слышите ученика."};
    case GuideStep::Speak:
      return {"Шаг 2 из 6. Поговорите со столом",
              "Нажмите кнопку с микрофоном на столе (или F3 на выбранном столе): ученик "
              "слышит вас."};
    case GuideStep::Pair:
      return {"Шаг 3 из 6. Соедините два стола в пару",
              "Нажмите кнопку «Откл.» на столе (или F4): стол соединится с соседом по паре, "
              "на плане появится линия между ними."};
    case GuideStep::ClassOnLine:
      return {"Шаг 4 из 6. Подключите класс к линии",
              "Нажмите «Подключить все столы к ЛИНИИ» на панели «Все столы» (или Ctrl+2): "
              "весь класс слышит линию."};
    case GuideStep::AnswerCall:
      return {"Шаг 5 из 6. Ответьте на вызов",
              "Ученик нажал кнопку вызова: его стол обведён, вызов виден внизу окна. "
              "Нажмите на вызов (или F7): пульт слушает этот стол. Выслушанный ученик "
              "сам гасит вызов."};
    case GuideStep::Round:
      return {"Шаг 6 из 6. Запустите обход",
              "Нажмите «Обход» в строке состояния (или F5): пульт по очереди слушает все "
              "столы."};
    case GuideStep::Done:
      break;
  }
  return {"Первый урок пройден",
          "Вы прошли все шаги. Учебный класс остаётся открытым: пробуйте что угодно, "
          "настоящий контроллер и журнал уроков не затрагиваются."};
}

bool PracticeGuide::StepDone(const GuideState& state) const {
  const ConsoleDisplay& shown = *state.shown;
  switch (step_) {
    case GuideStep::Listen:
      return AnyVisibleDesk(shown, [](int, const DeskDisplay& d) { return d.listenDown; });
    case GuideStep::Speak:
      return AnyVisibleDesk(shown, [](int, const DeskDisplay& d) { return d.speakDown; });
    case GuideStep::Pair:
      return std::any_of(shown.pairLinks.begin(), shown.pairLinks.end(),
                         [](bool joined) { return joined; });
    case GuideStep::ClassOnLine:
      return WholeClassOnLine(state);
    case GuideStep::AnswerCall: {
      // A call is answered by hearing its desk (the journal's "вызов принят").
      const uint16_t calling = CallingMask(shown);
      return AnyVisibleDesk(shown, [calling](int d, const DeskDisplay& desk) {
        return (calling & (1u << d)) != 0 && desk.listenDown;
      });
    }
    case GuideStep::Round:
      return state.roundRunning;
    case GuideStep::Done:
      break;
  }
  return false;
}

bool PracticeGuide::Look(const GuideState& state) {
  if (state.shown == nullptr || state.registers == nullptr) return false;
  bool advanced = false;
  while (!Finished() && StepDone(state)) {
    step_ = static_cast<GuideStep>(static_cast<int>(step_) + 1);
    advanced = true;
  }
  return advanced;
}

void PracticeGuide::Restart() {
  step_ = GuideStep::Listen;
}

bool PracticeGuide::WantsCall(const GuideState& state) const {
  return step_ == GuideStep::AnswerCall && state.shown != nullptr && state.shown->calls.empty();
}

}  // namespace console
