#include "render/image_adjustments.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "render/fit_sampler.h"
#include "render/vector_clones.h"

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

// out[i] = kernel(centre, sumOfNine) over the interior samples of a row, the
// sum being the 3 x 3 neighbourhood with the centre; the first and last pixel
// are copied. The sums of three rows per column come first, a chunk of the row
// at a time. Sums stay within 16 bits (9 x 255), so the loops run on 16-bit
// lanes; the pixel size is a constant so that the neighbours are fixed offsets.
// Inlined, so that each caller's instruction set applies.
template <int Bpp, typename Kernel>
[[gnu::always_inline]] inline void FilterRowOf(const uint8_t* __restrict up, const uint8_t* __restrict mid,
                 const uint8_t* __restrict down, uint8_t* __restrict out, size_t stride,
                 Kernel kernel) {
  std::memcpy(out, mid, Bpp);
  std::memcpy(out + stride - Bpp, mid + stride - Bpp, Bpp);
  constexpr size_t kChunk = 1024;
  uint16_t columns[kChunk + 2 * Bpp];
  for (size_t begin = Bpp; begin < stride - Bpp; begin += kChunk) {
    const size_t count = std::min(kChunk, stride - Bpp - begin);
    // columns[k] is the sum at sample begin - Bpp + k.
    const size_t first = begin - Bpp;
    for (size_t k = 0; k < count + 2 * Bpp; ++k)
      columns[k] = static_cast<uint16_t>(up[first + k] + mid[first + k] + down[first + k]);
    for (size_t k = 0; k < count; ++k)
      out[begin + k] = kernel(static_cast<int16_t>(mid[begin + k]),
                              static_cast<int16_t>(columns[k] + columns[k + Bpp] + columns[k + 2 * Bpp]));
  }
}

template <typename Kernel>
[[gnu::always_inline]] inline void FilterRow(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out,
               int width, int bpp, Kernel kernel) {
  if (width < 3) return;
  const size_t stride = static_cast<size_t>(width) * bpp;
  if (bpp == 3)
    FilterRowOf<3>(up, mid, down, out, stride, kernel);
  else
    FilterRowOf<1>(up, mid, down, out, stride, kernel);
}

// (12 x centre - the eight neighbours) / 4: a negative value clamps to 0
// whether the division truncates or floors, so a shift does.
// Written in 16-bit steps, so that the compiler keeps 16-bit lanes.
// Function objects rather than functions, so that each loop inlines its kernel.
struct SharpenKernel {
  uint8_t operator()(int16_t centre, int16_t sum) const {
    int16_t v = static_cast<int16_t>(13 * centre - sum);
    v = static_cast<int16_t>(v >> 2);
    v = v < 0 ? 0 : v;
    v = v > 255 ? 255 : v;
    return static_cast<uint8_t>(v);
  }
};

struct SmoothKernel {
  uint8_t operator()(int16_t centre, int16_t sum) const {
    return static_cast<uint8_t>(static_cast<uint16_t>(3 * centre + sum) / 12);
  }
};

// Filters every interior row in place. The original rows above and at the
// current row are kept aside, so every sum reads unchanged pixels.
template <typename Kernel> void Filter3x3(Raster& raster, Kernel kernel) {
  if (raster.width < 3 || raster.height < 3) return;
  const size_t stride = raster.Stride();
  std::vector<uint8_t> above(raster.Row(0), raster.Row(0) + stride);
  std::vector<uint8_t> current(raster.Row(1), raster.Row(1) + stride);
  for (int y = 1; y < raster.height - 1; ++y) {
    const uint8_t* down = raster.Row(y + 1);
    FilterRow(above.data(), current.data(), down, raster.Row(y), raster.width,
              raster.BytesPerPixel(), kernel);
    above.swap(current);
    std::copy_n(down, stride, current.data());
  }
}

} // namespace

void AdjustSaturationRow(uint8_t* pixels, size_t count, int saturation) {
  for (size_t i = 0; i < count; ++i, pixels += 3) AdjustPixel(pixels, saturation);
}

void AdjustSaturation(Raster& raster, int saturation) {
  if (!raster.color) return;
  AdjustSaturationRow(raster.pixels.data(), static_cast<size_t>(raster.width) * raster.height,
                      saturation);
}

void Sharpen(Raster& raster) { Filter3x3(raster, SharpenKernel{}); }
void Smooth(Raster& raster) { Filter3x3(raster, SmoothKernel{}); }

VECTOR_CLONES void SharpenRow(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out,
                int width, int bpp) {
  FilterRow(up, mid, down, out, width, bpp, SharpenKernel{});
}

VECTOR_CLONES void SmoothRow(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out,
               int width, int bpp) {
  FilterRow(up, mid, down, out, width, bpp, SmoothKernel{});
}
