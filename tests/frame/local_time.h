#pragma once
// A local date and time as a clock value, for tests that set the clock.
#include <ctime>

#include "frame/clock.h"

inline Clock::time_point LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return Clock::from_time_t(std::mktime(&local));
}
