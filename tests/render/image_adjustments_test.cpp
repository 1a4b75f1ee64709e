#include "render/image_adjustments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

TEST(ToneTable, GoldenValues) {
  struct Case {
    float gamma;
    int contrast;
    int index;
    int expected;
  } cases[] = {
      {1.0f, 0, 0, 0},     {1.0f, 0, 1, 0},     {1.0f, 0, 128, 127},  {1.0f, 0, 255, 254},
      {2.0f, 0, 64, 126},  {1.0f, 10, 0, 0},    {1.0f, 10, 128, 127}, {1.0f, 10, 255, 255},
      {1.0f, -10, 0, 100}, {1.0f, -10, 255, 154},
  };
  for (const Case& c : cases) {
    const ToneTable table = BuildToneTable(c.gamma, c.contrast);
    EXPECT_EQ(table[c.index], c.expected) << "g=" << c.gamma << " c=" << c.contrast << " i=" << c.index;
  }
  for (int contrast : {-10, 0, 10})
    for (int v : BuildToneTable(0.1f, contrast)) EXPECT_TRUE(v >= 0 && v <= 255);
  const ToneTable low = BuildToneTable(1.0f, -10);
  for (int i = 0; i < 256; ++i) EXPECT_TRUE(low[i] >= 100 && low[i] <= 154) << i;
}

// Rows (or columns) of buf that hold only fill.
std::vector<bool> FillRows(const std::vector<uint8_t>& buf, int w, int h, uint8_t fill) {
  std::vector<bool> rows(h, true);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rows[y] = rows[y] && buf[y * w + x] == fill;
  return rows;
}

TEST(FitResample, SquareImageIntoNearlySquareCellLeavesOneLineFrame) {
  const int cols = 512, rows = 512, w = 799, h = 800;
  std::vector<uint8_t> src(cols * rows, 100), buf(w * h, 7);
  FitResample(src.data(), cols, rows, buf.data(), w, h, false, 7);
  const auto fillRows = FillRows(buf, w, h, 7);
  for (int y = 0; y < h; ++y) EXPECT_EQ(fillRows[y], y == 0 || y >= 798) << "row " << y;
  for (int y = 1; y < 798; ++y) {
    EXPECT_EQ(buf[y * w + 0], 7);
    EXPECT_EQ(buf[y * w + 798], 7);
    EXPECT_NEAR(buf[y * w + 1], 100, 1);
    EXPECT_NEAR(buf[y * w + 797], 100, 1);
  }
}

TEST(FitResample, WideImageGetsTopAndBottomMargins) {
  const int cols = 1000, rows = 500, w = 800, h = 800;
  std::vector<uint8_t> src(cols * rows * 3);
  for (size_t i = 0; i < src.size(); i += 3) src[i] = 200, src[i + 1] = 100, src[i + 2] = 50;
  std::vector<uint8_t> buf(w * h * 3, 255);
  FitResample(src.data(), cols, rows, buf.data(), w, h, true, 255);
  for (int y = 0; y < h; ++y) {
    const uint8_t* px = &buf[(y * w + 400) * 3];
    const bool image = y > 200 && y <= 598;
    if (image) {
      EXPECT_NEAR(px[0], 200, 1) << y;
      EXPECT_NEAR(px[1], 100, 1) << y;
      EXPECT_NEAR(px[2], 50, 1) << y;
    } else {
      EXPECT_EQ(px[0], 255) << y;
    }
  }
}

TEST(FitResample, InterpolatesBetweenSamples) {
  // A 3 x 3 source with a bright centre, doubled: the sample between centre and
  // its left neighbour takes the mean.
  const uint8_t src[9] = {0, 0, 0, 0, 200, 0, 0, 0, 0};
  std::vector<uint8_t> buf(6 * 6, 9);
  FitResample(src, 3, 3, buf.data(), 6, 6, false, 9);
  EXPECT_EQ(buf[2 * 6 + 2], 200); // source (1, 1)
  EXPECT_EQ(buf[2 * 6 + 3], 100); // source (1.5, 1)
  EXPECT_EQ(buf[2 * 6 + 0], 9);   // source x = 0 is fill
}

TEST(FitResample, MatchesTheBilinearFormulaWithinOneLevel) {
  // Noise resampled up, down and into a margin, in grey and colour, against the
  // four-weight formula evaluated directly for every pixel.
  struct Case {
    int cols, rows, w, h;
  } cases[] = {{37, 23, 101, 77}, {120, 90, 41, 53}, {64, 64, 64, 64}};
  for (bool colour : {false, true})
    for (const Case& c : cases) {
      const int bpp = colour ? 3 : 1;
      std::vector<uint8_t> src(size_t(c.cols) * c.rows * bpp);
      unsigned seed = 99;
      for (uint8_t& v : src) v = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
      std::vector<uint8_t> buf(size_t(c.w) * c.h * bpp, 3);
      FitResample(src.data(), c.cols, c.rows, buf.data(), c.w, c.h, colour, 3);
      const float o = std::min(float(c.h) / c.rows, float(c.w) / c.cols);
      int tx = 0, ty = 0;
      if (double(c.cols) / c.rows < double(c.w) / c.h)
        tx = int(c.w - c.cols * o) / 2;
      else
        ty = int(c.h - c.rows * o) / 2;
      for (int i = 0; i < c.h; ++i)
        for (int j = 0; j < c.w; ++j) {
          const float y = (i - ty) / o, x = (j - tx) / o;
          const bool inside = i >= ty && i < c.h - ty - 1 && j >= tx && j < c.w - tx - 1 && y > 0 &&
                              y < c.rows - 1 && x > 0 && x < c.cols - 1;
          for (int ch = 0; ch < bpp; ++ch) {
            const int got = buf[(size_t(i) * c.w + j) * bpp + ch];
            if (!inside) {
              ASSERT_EQ(got, 3) << i << "," << j;
              continue;
            }
            const int x0 = int(x), y0 = int(y);
            const double fx = x - x0, fy = y - y0, fxy = fx * fy;
            auto P = [&](int px, int py) { return src[(size_t(py) * c.cols + px) * bpp + ch]; };
            const int expected = int((1 - fx - fy + fxy) * P(x0, y0) + (fx - fxy) * P(x0 + 1, y0) +
                                     (fy - fxy) * P(x0, y0 + 1) + fxy * P(x0 + 1, y0 + 1));
            ASSERT_LE(std::abs(got - expected), 1) << i << "," << j << " channel " << ch;
          }
        }
    }
}

TEST(AdjustSaturation, GoldenPixelsWithinOneLevel) {
  struct Case {
    RGBColor in;
    int saturation;
    RGBColor out;
  } cases[] = {
      {{255, 0, 0}, -10, {153, 100, 99}},
      {{200, 200, 200}, 5, {176, 176, 220}},
      {{200, 200, 200}, -10, {198, 198, 198}},
  };
  for (const Case& c : cases) {
    Raster raster = NewColorRaster(2, 1, c.in);
    AdjustSaturation(raster, c.saturation);
    for (int x = 0; x < 2; ++x) {
      const uint8_t* px = raster.Row(0) + 3 * x;
      EXPECT_LE(std::abs(px[2] - c.out.r), 1) << "R";
      EXPECT_LE(std::abs(px[1] - c.out.g), 1) << "G";
      EXPECT_LE(std::abs(px[0] - c.out.b), 1) << "B";
    }
  }
}

TEST(Filters, UniformAndThinRastersStayUnchanged) {
  for (bool colour : {false, true}) {
    for (auto [w, h] : {std::pair{9, 7}, std::pair{1, 5}, std::pair{6, 1}, std::pair{1, 1}}) {
      Raster uniform = colour ? NewColorRaster(w, h, {90, 140, 30}) : NewGreyRaster(w, h, {90, 90, 90});
      const Raster before = uniform;
      Sharpen(uniform);
      EXPECT_EQ(uniform.pixels, before.pixels) << w << "x" << h;
      Smooth(uniform);
      EXPECT_EQ(uniform.pixels, before.pixels) << w << "x" << h;
    }
  }
  // A 1-pixel-wide raster with varying values has no interior: unchanged.
  Raster column = NewGreyRaster(1, 4, kBlack);
  column.pixels = {10, 200, 30, 250};
  Sharpen(column);
  Smooth(column);
  EXPECT_EQ(column.pixels, (PixelBuffer{10, 200, 30, 250}));
}

TEST(Filters, DotIsSharpenedAndSmoothed) {
  Raster dot = NewGreyRaster(3, 3, {40, 40, 40});
  dot.Row(1)[1] = 100;
  Raster sharp = dot;
  Sharpen(sharp);
  EXPECT_EQ(sharp.Row(1)[1], (12 * 100 - 8 * 40) / 4); // 220
  EXPECT_EQ(sharp.Row(0)[0], 40);                        // border unchanged
  Raster smooth = dot;
  Smooth(smooth);
  EXPECT_EQ(smooth.Row(1)[1], (4 * 100 + 8 * 40) / 12); // 60
  Raster bright = NewGreyRaster(3, 3, kBlack);
  bright.Row(1)[1] = 255;
  Sharpen(bright);
  EXPECT_EQ(bright.Row(1)[1], 255); // clamped
}

TEST(Filters, MatchTheKernelsOnEveryInteriorSample) {
  for (bool colour : {false, true}) {
    Raster raster = colour ? NewColorRaster(7, 5, kBlack) : NewGreyRaster(7, 5, kBlack);
    unsigned seed = 12345;
    for (uint8_t& v : raster.pixels) v = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
    const Raster before = raster;
    Raster sharp = raster, smooth = raster;
    Sharpen(sharp);
    Smooth(smooth);
    const int bpp = raster.BytesPerPixel();
    for (int y = 0; y < 5; ++y)
      for (int i = 0; i < raster.Stride(); ++i) {
        const int x = i / bpp;
        if (x == 0 || x == 6 || y == 0 || y == 4) {
          EXPECT_EQ(sharp.Row(y)[i], before.Row(y)[i]);
          EXPECT_EQ(smooth.Row(y)[i], before.Row(y)[i]);
          continue;
        }
        int sum = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            if (dx || dy) sum += before.Row(y + dy)[i + dx * bpp];
        const int centre = before.Row(y)[i];
        EXPECT_EQ(sharp.Row(y)[i], std::clamp((12 * centre - sum) / 4, 0, 255)) << x << "," << y;
        EXPECT_EQ(smooth.Row(y)[i], (4 * centre + sum) / 12) << x << "," << y;
      }
  }
}

TEST(ToneTableApply, ColourChannelsLandInStoredOrder) {
  Raster raster = NewColorRaster(1, 1, kBlack);
  const uint8_t buf[3] = {10, 20, 30}; // R, G, B
  ToneTable identity{};
  for (int i = 0; i < 256; ++i) identity[i] = i;
  ApplyToneTable(buf, identity, raster);
  EXPECT_EQ(raster.Row(0)[0], 30); // B
  EXPECT_EQ(raster.Row(0)[2], 10); // R
}

} // namespace
