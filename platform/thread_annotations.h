#pragma once
// Lock annotations that clang's -Wthread-safety checks: which mutex guards
// which member, which functions need it held. Other compilers see empty
// macros. Mutex and MutexLock are std::mutex and a scoped lock that carry
// the annotations, since the standard library's do not. Any thread.
#include <mutex>

#if defined(__clang__)
#define KESTRELIN_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define KESTRELIN_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) KESTRELIN_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY KESTRELIN_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) KESTRELIN_THREAD_ANNOTATION(guarded_by(x))
#define REQUIRES(...) KESTRELIN_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) KESTRELIN_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) KESTRELIN_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) KESTRELIN_THREAD_ANNOTATION(release_capability(__VA_ARGS__))

namespace kestrelin {

class CAPABILITY("mutex") Mutex {
 public:
  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() RELEASE() { mutex_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace kestrelin
