#include "library_lock.hpp"

#include <utility>

namespace brintom::python {
namespace {

// Whether this thread holds the lock: a release made under it runs at once.
thread_local bool held_here = false;

}  // namespace

void LibraryLock::lock() {
  library_.lock();
  held_here = true;
}

void LibraryLock::unlock() {
  for (;;) {
    run_handed();
    held_here = false;
    library_.unlock();
    // A release handed over after the last run found the lock held; if nobody holds it now,
    // run it here, else its new holder will.
    {
      const std::lock_guard<std::mutex> guard(handed_mutex_);
      if (handed_.empty()) return;
    }
    if (!library_.try_lock()) return;
    held_here = true;
  }
}

void LibraryLock::release(std::function<void()> release) {
  if (held_here) {
    release();
    return;
  }
  {
    const std::lock_guard<std::mutex> guard(handed_mutex_);
    handed_.push_back(std::move(release));
  }
  if (library_.try_lock()) {
    held_here = true;
    unlock();
  }
}

void LibraryLock::run_handed() {
  std::vector<std::function<void()>> due;
  {
    const std::lock_guard<std::mutex> guard(handed_mutex_);
    due.swap(handed_);
  }
  for (const auto& release : due) release();
}

LibraryLock& library_lock() {
  // Never destroyed: Python may release arrays until the very end.
  static LibraryLock* const lock = new LibraryLock;
  return *lock;
}

}  // namespace brintom::python
