#include "print/uid_counter.h"

#include <chrono>

namespace {
const auto programStart = std::chrono::steady_clock::now();
} // namespace

uint32_t UIDCounter::Take() {
  uint32_t value = next_.load();
  while (!next_.compare_exchange_weak(value, value >= kLast ? 1 : value + 1)) {
  }
  return value;
}

UIDCounter &FilmSessionCounter() {
  static UIDCounter counter;
  return counter;
}

UIDCounter &FilmBoxCounter() {
  static UIDCounter counter;
  return counter;
}

uint64_t ProcessClockMilliseconds() {
  auto elapsed = std::chrono::steady_clock::now() - programStart;
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}
