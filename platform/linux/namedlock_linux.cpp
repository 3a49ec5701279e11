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
#include <string>

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
// The flock of the object is only ever held by a process preparing it: try
// this often, this far apart, before taking it for a stranger's.
constexpr int kFlockTries = 50;
constexpr long kFlockPauseMs = 10;

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

// A fresh (all-zero) mapping gets its mutex; one already marked is taken as
// it is. False for anything else: another layout, or bytes that were never ours.
bool InitialiseIfFresh(SharedLock* shared) {
  if (shared->magic == kMagic && shared->layoutSize == sizeof(SharedLock)) return true;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(shared);
  for (size_t i = 0; i < sizeof(SharedLock); ++i)
    if (bytes[i] != 0) return false;
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

std::string OpenFailureText(int error) {
  switch (error) {
    case ELOOP:
      return "на его месте символическая ссылка";
    case EACCES:
    case EPERM:
      return "нет доступа к нему (создан другим пользователем?)";
    case ENOENT:
      return "нет каталога /dev/shm";
    default:
      return "системная ошибка " + std::to_string(error);
  }
}

// The refusal, said so that the teacher (or the administrator) can act on it.
std::unique_ptr<NamedLock> Refuse(std::string& problem, const std::string& path,
                                  const std::string& reason) {
  problem = "Блокировка порта отклонена: объект " + path + " " + reason + ".";
  return nullptr;
}

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  // The mapping keeps the open file alive after close, and with it the flock:
  // it is let go of explicitly.
  ~FdCloser() {
    flock(fd_, LOCK_UN);
    close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

}  // namespace

// The object is per user, mode 0600, like a Windows mutex that is shared
// within one logon only.
std::string NamedLockObjectPath(const std::string& name) {
  return "/dev/shm/vormik-" + std::to_string(geteuid()) + "-" + EncodeName(name) + ".lock";
}

// Anyone may create files in /dev/shm, so the object is checked before it is
// trusted with anything: opened without following a link, it must be a plain
// file of this user that nobody else can reach, and its flock (which makes
// sizing and initialisation one step for all processes) is only tried, never
// waited on.
std::unique_ptr<NamedLock> OpenNamedLock(const std::string& name, std::string& problem) {
  problem.clear();
  const std::string path = NamedLockObjectPath(name);
  const int fd =
      open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) return Refuse(problem, path, "не открывается: " + OpenFailureText(errno));
  FdCloser closer(fd);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return Refuse(problem, path, "не файл");
  if (st.st_uid != geteuid())
    return Refuse(problem, path,
                  "принадлежит другому пользователю (uid " + std::to_string(st.st_uid) + ")");
  if ((st.st_mode & 0077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return Refuse(problem, path, std::string("доступен другим пользователям (права ") + mode + ")");
  }
  // Our own processes hold it for a moment only; longer means a stranger.
  int tries = 0;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || ++tries >= kFlockTries)
      return Refuse(problem, path, "занят другим процессом");
    const timespec pause{0, kFlockPauseMs * 1000000L};
    nanosleep(&pause, nullptr);
  }
  // Sized again under the flock: another process may have just made it.
  if (fstat(fd, &st) != 0) return Refuse(problem, path, "не читается");
  if (st.st_size != 0 && st.st_size != static_cast<off_t>(sizeof(SharedLock)))
    return Refuse(problem, path, "повреждён или создан другой версией программы");
  // The page is reserved before it is mapped: a mapping of a page that a full
  // /dev/shm cannot give kills the process (SIGBUS) at its first touch. New
  // pages read as zero.
  const int reserved = posix_fallocate(fd, 0, sizeof(SharedLock));
  if (reserved == ENOSPC)
    return Refuse(problem, path, "не создаётся: в /dev/shm нет свободного места");
  if (reserved != 0)
    return Refuse(problem, path, "не удаётся подготовить (ошибка " + std::to_string(reserved) + ")");
  void* mapping = mmap(nullptr, sizeof(SharedLock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (mapping == MAP_FAILED)
    return Refuse(problem, path, "не отображается в память (ошибка " + std::to_string(errno) + ")");
  SharedLock* shared = static_cast<SharedLock*>(mapping);
  if (!InitialiseIfFresh(shared)) {
    munmap(mapping, sizeof(SharedLock));
    return Refuse(problem, path, "повреждён или создан другой версией программы");
  }
  return std::make_unique<LinuxNamedLock>(shared);  // the mapping outlives the descriptor
}

std::unique_ptr<NamedLock> CreateNamedLock(const std::string& name) {
  std::string ignored;
  return OpenNamedLock(name, ignored);
}

}  // namespace platform
