#pragma once
// The process-wide counters that keep generated film session and film box
// UIDs apart. Shared by every association worker, so they are atomic.
#include <atomic>
#include <cstdint>

class UIDCounter {
public:
  // The current value; the counter then advances, from 10000 back to 1.
  uint32_t Take();
  void SetForTesting(uint32_t value) { next_.store(value); }

  static constexpr uint32_t kLast = 10000;

private:
  std::atomic<uint32_t> next_{1};
};

UIDCounter &FilmSessionCounter();
UIDCounter &FilmBoxCounter();

// Milliseconds of wall-clock time since the program started.
uint64_t ProcessClockMilliseconds();
