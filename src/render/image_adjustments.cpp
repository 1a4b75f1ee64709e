#include "render/image_adjustments.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "render/fit_sampler.h"

ToneTable BuildToneTable(float gamma, int contrast) {
  ToneTable table{};
  const double exponent = 1.0 / static_cast<double>(gamma);
  const double hi = static_cast<float>(10 * contrast + 255);
  const double lo = static_cast<float>(-10 * contrast);
  for (int i = 0; i < 256; ++i) {
    const int v = static_cast<int>(std::pow(i / 255.0, exponent) * 255.0 + 0.05);
    const int stretched = static_cast<int>(v * (hi - lo) / 256.0 + lo);
    table[i] = std::clamp(stretched, 0, 255);
  }
  return table;
}

void FitResample(const uint8_t* src, int cols, int rows, uint8_t* buf, int w, int h, bool colour,
                 uint8_t fill) {
  FitSampler sampler(src, cols, rows, w, h, colour, fill);
  const size_t stride = static_cast<size_t>(w) * (colour ? 3 : 1);
  for (int i = 0; i < h; ++i) sampler.Row(i, buf + i * stride, FitSampler::Identity());
}

void ApplyToneTable(const uint8_t* buf, const ToneTable& table, Raster& raster) {
  uint8_t lut[256];
  for (int i = 0; i < 256; ++i) lut[i] = static_cast<uint8_t>(table[i]);
  for (int y = 0; y < raster.height; ++y) {
    const uint8_t* in = buf + static_cast<size_t>(y) * raster.Stride();
    uint8_t* out = raster.Row(y);
    if (!raster.color) {
      for (int x = 0; x < raster.width; ++x) out[x] = lut[in[x]];
      continue;
    }
    for (int x = 0; x < raster.width; ++x, in += 3, out += 3) {
      out[0] = lut[in[2]];
      out[1] = lut[in[1]];
      out[2] = lut[in[0]];
    }
  }
}

namespace {

float HueComponent(float p, float q, float t) {
  if (t < 1.0f / 6) return p + (q - p) * 6 * t;
  if (t < 0.5f) return q;
  if (t < 2.0f / 3) return p + (q - p) * (2.0f / 3 - t) * 6;
  return p;
}

uint8_t ToByte(float component) {
  return static_cast<uint8_t>(std::clamp(static_cast<int>(component * 255), 0, 255));
}

void AdjustPixel(uint8_t* px, int saturation) {
  const float a = px[0] / 256.0f, b = px[1] / 256.0f, c = px[2] / 256.0f;
  const float mx = std::max({a, b, c}), mn = std::min({a, b, c});
  float hue = 0, sat = 0, light = a;
  if (mx != mn) {
    light = (mx + mn) / 2;
    const float d = mx - mn;
    sat = light < 0.5f ? d / (mx + mn) : d / (2 - mx - mn);
    float h;
    if (a == mx)
      h = (b - c) / d;
    else if (b != mx)
      h = (a - b) / d + 4;
    else
      h = (c - a) / d + 2;
    hue = h / 6;
    if (hue < 0) hue += 1;
  }
  const int hq = std::clamp(static_cast<int>(static_cast<int16_t>(hue * 255)), 0, 255);
  const int sq = std::clamp(static_cast<int16_t>(sat * 255) + 20 * saturation, 0, 255);
  const int lq = std::clamp(static_cast<int>(static_cast<int16_t>(light * 255)), 0, 255);

  const float s = sq / 256.0f, l = lq / 256.0f, h = hq / 256.0f;
  if (s == 0) {
    px[0] = px[1] = px[2] = ToByte(l);
    return;
  }
  const float q = l < 0.5f ? l * (1 + s) : l + s - l * s;
  const float p = 2 * l - q;
  float t1 = h + 1.0f / 3;
  if (t1 > 1) t1 -= 1;
  float t3 = h - 1.0f / 3;
  if (t3 < 0) t3 += 1;
  px[0] = ToByte(HueComponent(p, q, t1));
  px[1] = ToByte(HueComponent(p, q, h));
  px[2] = ToByte(HueComponent(p, q, t3));
}

// Runs kernel(centre, sumOfNine) over every interior sample, sumOfNine being the
// 3 x 3 sum with the centre. The original rows above and at the current row are
// kept aside, so every sum reads unchanged pixels; the 3 x 3 sums come from
// sums of three rows per column. Sums stay within 16 bits (9 x 255), so the
// loops run on 16-bit lanes.
template <typename Kernel> void Filter3x3(Raster& raster, Kernel kernel) {
  if (raster.width < 3 || raster.height < 3) return;
  const int bpp = raster.BytesPerPixel();
  const size_t stride = raster.Stride();
  std::vector<uint8_t> above(raster.Row(0), raster.Row(0) + stride);
  std::vector<uint8_t> current(raster.Row(1), raster.Row(1) + stride);
  std::vector<uint16_t> columns(stride);
  for (int y = 1; y < raster.height - 1; ++y) {
    const uint8_t* __restrict up = above.data();
    const uint8_t* __restrict mid = current.data();
    const uint8_t* __restrict down = raster.Row(y + 1);
    uint16_t* __restrict sums = columns.data();
    for (size_t i = 0; i < stride; ++i) sums[i] = static_cast<uint16_t>(up[i] + mid[i] + down[i]);
    uint8_t* __restrict out = raster.Row(y);
    for (size_t i = bpp; i < stride - bpp; ++i)
      out[i] = kernel(static_cast<int16_t>(mid[i]),
                      static_cast<int16_t>(sums[i - bpp] + sums[i] + sums[i + bpp]));
    above.swap(current);
    std::copy_n(down, stride, current.data());
  }
}

} // namespace

void AdjustSaturation(Raster& raster, int saturation) {
  if (!raster.color) return;
  uint8_t* px = raster.pixels.data();
  for (size_t i = 0, n = static_cast<size_t>(raster.width) * raster.height; i < n; ++i, px += 3)
    AdjustPixel(px, saturation);
}

void Sharpen(Raster& raster) {
  // (12 x centre - the eight neighbours) / 4: a negative value clamps to 0
  // whether the division truncates or floors, so a shift does.
  // Written in 16-bit steps, so that the compiler keeps 16-bit lanes.
  Filter3x3(raster, [](int16_t centre, int16_t sum) {
    int16_t v = static_cast<int16_t>(13 * centre - sum);
    v = static_cast<int16_t>(v >> 2);
    v = v < 0 ? 0 : v;
    v = v > 255 ? 255 : v;
    return static_cast<uint8_t>(v);
  });
}

void Smooth(Raster& raster) {
  Filter3x3(raster, [](int16_t centre, int16_t sum) {
    return static_cast<uint8_t>(static_cast<uint16_t>(3 * centre + sum) / 12);
  });
}
