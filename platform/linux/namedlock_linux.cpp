// The system-wide named lock on Linux: a robust, recursive, process-shared
// pthread mutex in a small POSIX shared-memory object per user and name.
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "platform/namedlock.h"

// ThreadSanitizer does not intercept pthread_mutex_clocklock, so it would take
// every release for an unpaired unlock; its builds wait on the wall clock.
#if defined(__SANITIZE_THREAD__)
#define VORMIK_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VORMIK_THREAD_SANITIZER 1
#endif
#endif
#ifndef VORMIK_THREAD_SANITIZER
#define VORMIK_THREAD_SANITIZER 0
#endif

namespace platform {

namespace {

constexpr clockid_t kDeadlineClock = VORMIK_THREAD_SANITIZER ? CLOCK_REALTIME : CLOCK_MONOTONIC;

// Marks a mapping whose mutex is initialised; includes the layout size so a
// differently built program never takes another layout for its own.
constexpr uint32_t kMagic = 0x564D4B4Cu;  // "VMKL"
// Leaves room for "/vormik-<uid>-" and ".lock" within NAME_MAX.
constexpr size_t kMaxEncodedName = 180;

struct SharedLock {
  uint32_t magic;
  uint32_t layoutSize;
  pthread_mutex_t mutex;
};

// Letters, digits, '.', '_' and '-' stay; every other byte becomes %XX, so
// two different names never share an object.
std::string EncodeName(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  if (out.size() > kMaxEncodedName) {
    // FNV-1a keeps long names apart after the cut and is the same in every build.
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char tail[20];
    std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
    out = out.substr(0, kMaxEncodedName - 17) + tail;
  }
  return out;
}

class LinuxNamedLock final : public NamedLock {
 public:
  explicit LinuxNamedLock(SharedLock* shared) : shared_(shared) {}

  ~LinuxNamedLock() override {
    // The mutex sits on the holder's robust list; unmapping it while held
    // would leave that list pointing at nothing. Keep the mapping then: the
    // kernel hands the lock on when the holder exits.
    if (holds_.load() == 0) munmap(shared_, sizeof(SharedLock));
  }

  LockWait Wait(int timeoutMs) override {
    int r;
    if (timeoutMs < 0) {
      r = pthread_mutex_lock(&shared_->mutex);
    } else {
      timespec deadline{};
      clock_gettime(kDeadlineClock, &deadline);
      deadline.tv_sec += timeoutMs / 1000;
      deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
      if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
      }
#if VORMIK_THREAD_SANITIZER
      r = pthread_mutex_timedlock(&shared_->mutex, &deadline);
#else
      r = pthread_mutex_clocklock(&shared_->mutex, CLOCK_MONOTONIC, &deadline);
#endif
    }
    if (r == EOWNERDEAD) {
      // The holder died: the lock is ours; the port it guarded is only a
      // byte stream, so nothing in shared memory needs repair.
      if (pthread_mutex_consistent(&shared_->mutex) != 0) {
        pthread_mutex_unlock(&shared_->mutex);
        return LockWait::kFailed;
      }
      r = 0;
    }
    if (r == 0) {
      holds_.fetch_add(1);
      return LockWait::kAcquired;
    }
    if (r == ETIMEDOUT) return LockWait::kTimedOut;
    return LockWait::kFailed;
  }

  void Release() override {
    // A thread that does not own the mutex gets EPERM and changes nothing.
    if (pthread_mutex_unlock(&shared_->mutex) == 0) holds_.fetch_sub(1);
  }

 private:
  SharedLock* shared_;
  std::atomic<int> holds_{0};  // acquisitions not yet released, all threads
};

bool InitialiseIfNeeded(SharedLock* shared) {
  if (shared->magic == kMagic && shared->layoutSize == sizeof(SharedLock)) return true;
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
            pthread_mutex_init(&shared->mutex, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
  if (!ok) return false;
  shared->layoutSize = sizeof(SharedLock);
  __atomic_store_n(&shared->magic, kMagic, __ATOMIC_RELEASE);
  return true;
}

}  // namespace

// The object is per user ("/vormik-<uid>-<name>.lock" in /dev/shm), mode 0600,
// like a Windows mutex that is shared within one logon only.
std::unique_ptr<NamedLock> CreateNamedLock(const std::string& name) {
  const std::string objectName =
      "/vormik-" + std::to_string(geteuid()) + "-" + EncodeName(name) + ".lock";
  // glibc opens with O_NOFOLLOW, so a planted link is refused.
  const int fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT, 0600);
  if (fd < 0) return nullptr;
  // The flock makes sizing and initialisation one step for all processes.
  while (flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(fd);
      return nullptr;
    }
  }
  SharedLock* shared = nullptr;
  struct stat st {};
  // Refuse an object planted by another user or left open to others.
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            (st.st_mode & 0077) == 0;
  if (ok && st.st_size < static_cast<off_t>(sizeof(SharedLock))) {
    ok = ftruncate(fd, sizeof(SharedLock)) == 0;  // new pages read as zero
  }
  if (ok) {
    void* mapping = mmap(nullptr, sizeof(SharedLock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapping != MAP_FAILED) {
      shared = static_cast<SharedLock*>(mapping);
      if (!InitialiseIfNeeded(shared)) {
        munmap(mapping, sizeof(SharedLock));
        shared = nullptr;
      }
    }
  }
  flock(fd, LOCK_UN);
  close(fd);  // the mapping stays valid
  if (shared == nullptr) return nullptr;
  return std::make_unique<LinuxNamedLock>(shared);
}

}  // namespace platform
