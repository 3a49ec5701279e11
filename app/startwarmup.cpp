// The start-up warm-up: each piece on a thread of its own, waited for by its owner.
#include "app/startwarmup.h"

#include <QBuffer>
#include <QImageReader>
#include <system_error>

#if VORMIK_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif
#if VORMIK_SESSION_BUS
#include <QDBusConnection>
#endif

template <typename Work>
void StartWarmUp::Start(Work work) {
  try {
    threads_.emplace_back(std::move(work));
  } catch (const std::system_error&) {
  }
}

void StartWarmUp::ReadFontConfiguration() {
#if VORMIK_FONTCONFIG
  // Thread-safe: when Qt asks at the same moment, one of the two results is kept.
  Start([] { FcInit(); });
#endif
}

void StartWarmUp::ConnectSessionBus() {
#if VORMIK_SESSION_BUS
  // Qt keeps the one connection (or the failure) for whoever asks next; a
  // second asker waits for the first.
  Start([] { QDBusConnection::sessionBus(); });
#endif
}

void StartWarmUp::LoadImageReaders() {
  Start([] {
    // A format named with no suffix-matching plugin makes Qt ask every
    // plugin in turn; nothing is read from the empty device.
    QBuffer empty;
    empty.open(QIODevice::ReadOnly);
    QImageReader(&empty, "png").canRead();
  });
}

void StartWarmUp::Wait() {
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
  threads_.clear();
}
