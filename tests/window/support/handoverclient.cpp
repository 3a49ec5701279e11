// The hand-over of a second start against a console served on this thread.
#include "support/handoverclient.h"

#include <QCoreApplication>
#include <atomic>
#include <thread>

InstanceChannel::HandOverResult HandOverServed(const QString& address, const QString& path,
                                               int timeoutMs) {
  std::atomic<int> result{-1};
  std::thread second(
      [&] { result = static_cast<int>(InstanceChannel::HandOver(address, path, timeoutMs)); });
  // The thread ends by its own time-out; this loop only serves the console meanwhile.
  while (result.load() < 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  second.join();
  return static_cast<InstanceChannel::HandOverResult>(result.load());
}
