// The link state in the teacher's words.
#include "console/linkstatetext.h"

namespace console {

LinkStateText DescribeLinkState(const LinkStatusSnapshot& status, const std::string& sinceClock) {
  const std::string port =
      "Порт " + (status.portName.empty() ? std::string("(не задан)") : status.portName) + ": ";
  switch (status.state) {
    case LinkState::kAnswering:
      // After a return the console has written its copy to the controller.
      if (status.returns > 0)
        return {port + "контроллер отвечает, состояние класса восстановлено", LinkTone::Good};
      return {port + "контроллер отвечает", LinkTone::Good};
    case LinkState::kNotAnswering:
      return {port + "контроллер не отвечает с " + sinceClock, LinkTone::Bad};
    case LinkState::kDeviceMissing:
      return {port + "устройство не найдено или отключено", LinkTone::Bad};
    case LinkState::kPortBusy:
      return {port + "порт занят другой программой", LinkTone::Bad};
    case LinkState::kNotSerialPort:
      return {port + "это не последовательный порт", LinkTone::Bad};
    case LinkState::kPollingOff:
      return {port + "опрос выключен (ReadThreadStop), последняя команда подтверждена",
              LinkTone::Neutral};
    case LinkState::kUnknown:
      break;
  }
  if (status.pollingOff) return {port + "опрос выключен (ReadThreadStop)", LinkTone::Neutral};
  return {port + "связь ещё не проверена", LinkTone::Neutral};
}

bool OffersControllerSearch(const LinkStatusSnapshot& status) {
  return status.state == LinkState::kNotAnswering || status.state == LinkState::kDeviceMissing;
}

}  // namespace console
