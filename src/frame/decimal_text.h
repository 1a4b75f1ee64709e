#pragma once
// Whole texts read as decimal integers, as settings files and DICOM texts hold them.
#include <charconv>
#include <cstdint>
#include <string_view>

// text as a 32-bit decimal integer with an optional sign; fallback when the
// text is empty, holds anything else, or is out of range.
inline int32_t DecimalOr(std::string_view text, int32_t fallback) {
  if (!text.empty() && text.front() == '+')
    text.remove_prefix(1);
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    return fallback;
  return value;
}
