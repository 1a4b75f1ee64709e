#include "frame/date_time.h"

#include <cstdio>
#include <ctime>

namespace {
void AppendPadded(std::string &out, int value, int width) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%0*d", width, value);
  out += digits;
}
} // namespace

std::string FormatDateTime(std::string_view pattern, Clock::time_point when) {
  const std::time_t seconds = Clock::to_time_t(when);
  std::tm local{};
  localtime_r(&seconds, &local);

  std::string out;
  size_t i = 0;
  auto startsWith = [&](std::string_view token) {
    return pattern.substr(i, token.size()) == token;
  };
  while (i < pattern.size()) {
    if (startsWith("yyyy")) {
      AppendPadded(out, local.tm_year + 1900, 4);
      i += 4;
    } else if (startsWith("yy")) {
      AppendPadded(out, (local.tm_year + 1900) % 100, 2);
      i += 2;
    } else if (startsWith("mm")) {
      AppendPadded(out, local.tm_mon + 1, 2);
      i += 2;
    } else if (startsWith("dd")) {
      AppendPadded(out, local.tm_mday, 2);
      i += 2;
    } else if (startsWith("hh")) {
      AppendPadded(out, local.tm_hour, 2);
      i += 2;
    } else if (startsWith("nn")) {
      AppendPadded(out, local.tm_min, 2);
      i += 2;
    } else if (startsWith("ss")) {
      AppendPadded(out, local.tm_sec, 2);
      i += 2;
    } else {
      out += pattern[i++];
    }
  }
  return out;
}

std::string FormatDateTime(std::string_view pattern) { return FormatDateTime(pattern, Now()); }
