#include "archive/instance_uid.h"

#include <atomic>
#include <chrono>
#include <cstdint>

#include "dicom/make_uid.h"

namespace {

uint64_t NextSerial() {
  static std::atomic<uint64_t> serial{
      static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count())};
  return serial.fetch_add(1);
}

} // namespace

std::string UniqueUID(const std::string &installationNumber, const std::string &date,
                      const std::string &time) {
  // Eight digits without a leading zero: MakeUID would turn a '0' after a
  // '.' into '1' and so merge two serials.
  const std::string digits = std::to_string(10000000 + NextSerial() % 90000000);
  // MakeUID puts part B (4 characters kept) before part A (4 kept).
  return MakeUID(InstallationId(), digits.substr(4), digits.substr(0, 4), date, time,
                 installationNumber);
}
