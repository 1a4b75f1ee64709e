#pragma once
// Closes finished connections after a delay, on one thread for all of them.
// A peer that has just received its A-RELEASE-RP gets time to read it and to
// close its end first; no worker thread has to sleep through that time.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>

class DelayedClose {
public:
  static constexpr std::chrono::milliseconds kDefaultDelay{5000};

  // maxPending bounds the handles held open: beyond it the oldest closes early.
  explicit DelayedClose(std::chrono::milliseconds delay = kDefaultDelay,
                        size_t maxPending = DefaultMaxPending());
  ~DelayedClose(); // Flush()
  DelayedClose(const DelayedClose&) = delete;
  DelayedClose& operator=(const DelayedClose&) = delete;

  // After the delay: closes handle (-1: already closed) and, at log level 1,
  // writes "INFO, Close Connection: " + socketNumber and the used memory.
  void Schedule(int handle, int socketNumber);
  // Closes every pending handle now and ends the thread; later schedules close at once.
  void Flush();
  size_t Pending() const;

  // Half the process's open-file soft limit, at least 64.
  static size_t DefaultMaxPending();

private:
  struct Entry {
    std::chrono::steady_clock::time_point due;
    int handle;
    int socketNumber;
  };
  void Run();
  static void CloseNow(const Entry& entry);

  const std::chrono::milliseconds delay_;
  const size_t maxPending_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Entry> pending_; // in due order: every entry waits the same delay
  bool stopping_ = false;
  std::thread thread_;
};
