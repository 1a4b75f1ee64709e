#pragma once
// The wall clock of the system. Tests replace it to cross midnight or to age files.
#include <chrono>
#include <functional>

using Clock = std::chrono::system_clock;

Clock::time_point Now();

// Replaces the clock; an empty function restores the real one.
void SetClockForTesting(std::function<Clock::time_point()> clock);
