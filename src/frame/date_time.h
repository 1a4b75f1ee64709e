#pragma once
// Local date and time patterns such as "yyyymmdd", "hh:nn:ss" or
// "yy.mm.dd_hh.nn.ss": yyyy/yy year, mm month, dd day, hh hour (24-hour),
// nn minutes, ss seconds, each zero-padded; other characters stand as they are.
#include <string>
#include <string_view>

#include "frame/clock.h"

std::string FormatDateTime(std::string_view pattern, Clock::time_point when);

// The same for the current local time (Now()).
std::string FormatDateTime(std::string_view pattern);
