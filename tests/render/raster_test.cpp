#include "render/raster.h"

#include <gtest/gtest.h>

namespace {

TEST(Raster, NewRastersAreFilled) {
  const Raster grey = NewGreyRaster(3, 2, {150, 150, 150});
  EXPECT_EQ(grey.Stride(), 3);
  for (uint8_t v : grey.pixels) EXPECT_EQ(v, 150);
  const Raster colour = NewColorRaster(2, 2, {1, 2, 3});
  EXPECT_EQ(colour.Stride(), 6);
  EXPECT_EQ(colour.Row(1)[0], 3); // B
  EXPECT_EQ(colour.Row(1)[2], 1); // R
  EXPECT_TRUE(NewGreyRaster(0, 5, kWhite).Empty());
}

TEST(BlitRaster, NeverWritesRowOrColumnZeroAndClipsAtEdges) {
  Raster target = NewGreyRaster(4, 4, kBlack);
  BlitRaster(target, -1, -1, NewGreyRaster(6, 6, {9, 9, 9}));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(target.Row(y)[x], (x == 0 || y == 0) ? 0 : 9);
  BlitRaster(target, 10, 10, NewGreyRaster(2, 2, kWhite)); // entirely outside
  BlitRaster(target, 3, 3, NewGreyRaster(2, 2, kWhite));   // one pixel inside
  EXPECT_EQ(target.Row(3)[3], 255);
  EXPECT_EQ(target.Row(2)[3], 9);
}

TEST(BlitRaster, ConvertsBetweenGreyAndColour) {
  Raster colour = NewColorRaster(3, 3, kBlack);
  BlitRaster(colour, 1, 1, NewGreyRaster(1, 1, {77, 77, 77}));
  EXPECT_EQ(colour.Row(1)[3], 77);
  EXPECT_EQ(colour.Row(1)[4], 77);
  EXPECT_EQ(colour.Row(1)[5], 77);
  Raster grey = NewGreyRaster(3, 3, kBlack);
  BlitRaster(grey, 1, 1, NewColorRaster(2, 1, {255, 0, 100}));
  EXPECT_EQ(grey.Row(1)[1], (255 + 0 + 100) / 3);
  EXPECT_EQ(grey.Row(1)[2], (255 + 0 + 100) / 3);
}

} // namespace
