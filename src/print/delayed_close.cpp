#include "print/delayed_close.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "frame/event_log.h"

DelayedClose::DelayedClose(std::chrono::milliseconds delay, size_t maxPending)
    : delay_(delay), maxPending_(std::max<size_t>(maxPending, 1)), thread_([this] { Run(); }) {}

DelayedClose::~DelayedClose() { Flush(); }

size_t DelayedClose::DefaultMaxPending() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return 4096;
  return std::max<size_t>(64, static_cast<size_t>(limit.rlim_cur / 2));
}

void DelayedClose::Schedule(int handle, int socketNumber) {
  Entry entry{std::chrono::steady_clock::now() + delay_, handle, socketNumber};
  std::unique_lock lock(mutex_);
  if (stopping_) {
    lock.unlock();
    CloseNow(entry);
    return;
  }
  std::deque<Entry> early;
  while (pending_.size() >= maxPending_) {
    early.push_back(pending_.front());
    pending_.pop_front();
  }
  pending_.push_back(entry);
  lock.unlock();
  wake_.notify_one();
  for (const Entry& old : early)
    CloseNow(old);
}

void DelayedClose::Flush() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable())
    thread_.join();
}

size_t DelayedClose::Pending() const {
  std::lock_guard lock(mutex_);
  return pending_.size();
}

void DelayedClose::CloseNow(const Entry& entry) {
  if (entry.handle >= 0)
    close(entry.handle);
  if (LogEnabled(1)) {
    WriteLog("INFO, Close Connection: " + std::to_string(entry.socketNumber));
    WriteLog("INFO, Used Memory: " + std::to_string(UsedMemoryMB()) + " MBytes");
  }
}

void DelayedClose::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopping_) {
      std::deque<Entry> rest;
      rest.swap(pending_);
      lock.unlock();
      for (const Entry& entry : rest)
        CloseNow(entry);
      return;
    }
    if (pending_.empty()) {
      wake_.wait(lock);
      continue;
    }
    const Entry next = pending_.front();
    if (std::chrono::steady_clock::now() < next.due) {
      wake_.wait_until(lock, next.due);
      continue;
    }
    pending_.pop_front();
    lock.unlock();
    CloseNow(next);
    lock.lock();
  }
}
