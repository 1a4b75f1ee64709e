#include "frame/clock.h"

#include <mutex>

namespace {
std::mutex clockMutex;
std::function<Clock::time_point()> testClock;
} // namespace

Clock::time_point Now() {
  std::lock_guard lock(clockMutex);
  return testClock ? testClock() : Clock::now();
}

void SetClockForTesting(std::function<Clock::time_point()> clock) {
  std::lock_guard lock(clockMutex);
  testClock = std::move(clock);
}
