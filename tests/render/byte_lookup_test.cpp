#include "render/byte_lookup.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(LookUpBytes, MapsEveryByteOfTheRunAndNoneAfterIt) {
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(255 - i / 2);
  for (size_t count : {0, 1, 63, 64, 65, 127, 128, 300}) {
    std::vector<uint8_t> data(count + 70);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    const std::vector<uint8_t> before = data;
    LookUpBytes(data.data() + 1, count, table);
    for (size_t i = 0; i < data.size(); ++i) {
      const bool mapped = i >= 1 && i < count + 1;
      ASSERT_EQ(data[i], mapped ? table[before[i]] : before[i]) << "count " << count << " at " << i;
    }
  }
}

} // namespace
