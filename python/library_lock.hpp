#pragma once

#include <functional>
#include <mutex>
#include <vector>

namespace brintom::python {

// The library keeps process-wide state: the geometry settings and Label, which its readers set
// and its writers read, and the memory ledger, which every container, Frame and Mask counts.
// Every call that touches it holds this one lock. It is taken with the GIL released, so that a
// thread waiting for it never holds the GIL, and nothing done under it takes the GIL back.
class LibraryLock {
 public:
  void lock();
  // Runs the releases handed over while it was held, then lets go.
  void unlock();

  // Runs release (a free of library memory) at once when the lock is free, else hands it to the
  // holder. For memory that Python lets go of while it holds the GIL, when waiting for the lock
  // could deadlock.
  void release(std::function<void()> release);

 private:
  void run_handed();

  std::mutex library_;
  std::mutex handed_mutex_;
  std::vector<std::function<void()>> handed_;
};

LibraryLock& library_lock();

}  // namespace brintom::python
