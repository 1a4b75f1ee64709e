#include "render/bmp_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void PutLE(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.at(at + i) = (v >> (8 * i)) & 0xff;
}
void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) { PutLE(b, at, v, 2); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { PutLE(b, at, v, 4); }

// A BMP of the given depth; pixel (x, y) of the image (from the top) is
// value(x, y) for 8-bit, or B = x, G = y, R = 7 for 24/32-bit.
std::vector<uint8_t> MakeBmp(int w, int h, int bits, bool topDown, bool greyPalette) {
  const size_t stride = (size_t(w) * bits + 31) / 32 * 4;
  const size_t palette = bits == 8 ? 256 * 4 : 0;
  const size_t offset = 14 + 40 + palette;
  std::vector<uint8_t> b(offset + stride * h);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, uint32_t(b.size()));
  Put32(b, 10, uint32_t(offset));
  Put32(b, 14, 40);
  Put32(b, 18, uint32_t(w));
  Put32(b, 22, uint32_t(topDown ? -h : h));
  Put16(b, 26, 1);
  Put16(b, 28, bits);
  for (int i = 0; i < 256 && bits == 8; ++i) {
    b[54 + 4 * i] = uint8_t(i);
    b[54 + 4 * i + 1] = uint8_t(i);
    b[54 + 4 * i + 2] = greyPalette ? uint8_t(i) : uint8_t(255 - i);
  }
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.data() + offset + stride * (topDown ? y : h - 1 - y);
    for (int x = 0; x < w; ++x) {
      if (bits == 8) {
        row[x] = uint8_t(10 * x + y);
      } else {
        row[x * bits / 8] = uint8_t(x);
        row[x * bits / 8 + 1] = uint8_t(y);
        row[x * bits / 8 + 2] = 7;
      }
    }
  }
  return b;
}

TEST(DecodeBmp, ReadsEveryLayoutFromTheTop) {
  for (int bits : {8, 24, 32}) {
    for (bool topDown : {false, true}) {
      const auto file = MakeBmp(5, 3, bits, topDown, true);
      Raster r;
      std::string error;
      ASSERT_TRUE(DecodeBmp(file.data(), file.size(), r, &error)) << error;
      ASSERT_EQ(r.width, 5);
      ASSERT_EQ(r.height, 3);
      EXPECT_EQ(r.color, bits != 8);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
          if (bits == 8) {
            EXPECT_EQ(r.Row(y)[x], 10 * x + y);
          } else {
            EXPECT_EQ(r.Row(y)[3 * x], x);
            EXPECT_EQ(r.Row(y)[3 * x + 1], y);
            EXPECT_EQ(r.Row(y)[3 * x + 2], 7);
          }
        }
    }
  }
  const auto tinted = MakeBmp(2, 2, 8, false, false);
  Raster r;
  ASSERT_TRUE(DecodeBmp(tinted.data(), tinted.size(), r));
  EXPECT_TRUE(r.color);
  EXPECT_EQ(r.Row(0)[2], 255); // R of palette entry 0 (pixel value 0) is 255 - 0
}

TEST(DecodeBmp, RefusesDamagedFiles) {
  const auto good = MakeBmp(4, 4, 24, false, true);
  auto withSize = [&](int32_t w, int32_t h) {
    auto b = good;
    Put32(b, 18, uint32_t(w));
    Put32(b, 22, uint32_t(h));
    return b;
  };
  auto withOffset = [&](uint32_t offset) {
    auto b = good;
    Put32(b, 10, offset);
    return b;
  };
  auto withBits = [&](int bits, uint32_t compression) {
    auto b = good;
    Put16(b, 28, bits);
    Put32(b, 30, compression);
    return b;
  };
  auto withPalette = [&](uint32_t count) {
    auto b = MakeBmp(4, 4, 8, false, true);
    Put32(b, 46, count);
    return b;
  };
  const std::vector<std::vector<uint8_t>> bad = {
      {},
      std::vector<uint8_t>(good.begin(), good.begin() + 30),
      std::vector<uint8_t>(good.begin(), good.end() - 1),
      withSize(0, 4),
      withSize(4, 0),
      withSize(-4, 4),
      withSize(4, INT32_MIN),
      withSize(100000, 100000),
      withSize(5000, 4),
      withOffset(0xffffffff),
      withOffset(uint32_t(good.size())),
      withBits(4, 0),
      withBits(24, 1),
      withPalette(300),
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    Raster r;
    std::string error;
    EXPECT_FALSE(DecodeBmp(bad[i].data(), bad[i].size(), r, &error)) << "case " << i;
    EXPECT_FALSE(error.empty()) << "case " << i;
  }
}

} // namespace
