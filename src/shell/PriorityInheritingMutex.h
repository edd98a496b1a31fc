#pragma once

#include <pthread.h>

// A recursive mutex with priority inheritance, for the plug-in lock.
//
// The audio thread runs at real-time priority; the threads that hold the plug-in lock otherwise (the
// user-interface thread, a host's worker) run at ordinary priority. Should such a thread lose the
// processor while it holds the lock, a busy machine could keep the audio thread waiting for it far
// longer than the work under the lock takes. With priority inheritance the holder runs at the
// priority of the highest thread waiting for it until it lets go. Where the system offers no
// priority inheritance, the mutex is an ordinary recursive one.
//
// Meets the standard Lockable requirements (std::lock_guard and friends).
class PriorityInheritingMutex {
 public:
  using native_handle_type = pthread_mutex_t*;

  PriorityInheritingMutex() {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    const bool inheriting = pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT) == 0;
    if (pthread_mutex_init(&mutex_, &attributes) != 0 && inheriting) {
      pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_NONE);
      pthread_mutex_init(&mutex_, &attributes);
    }
    pthread_mutexattr_destroy(&attributes);
  }
  ~PriorityInheritingMutex() { pthread_mutex_destroy(&mutex_); }
  PriorityInheritingMutex(const PriorityInheritingMutex&) = delete;
  PriorityInheritingMutex& operator=(const PriorityInheritingMutex&) = delete;

  void lock() { pthread_mutex_lock(&mutex_); }
  bool try_lock() { return pthread_mutex_trylock(&mutex_) == 0; }
  void unlock() { pthread_mutex_unlock(&mutex_); }
  native_handle_type native_handle() { return &mutex_; }

 private:
  pthread_mutex_t mutex_;
};
