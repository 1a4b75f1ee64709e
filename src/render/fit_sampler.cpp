#include "render/fit_sampler.h"

#include <algorithm>
#include <cstring>

namespace {
using Floats4 = float __attribute__((vector_size(16)));
using Bytes4 = uint8_t __attribute__((vector_size(4)));
} // namespace

FitSampler::FitSampler(const uint8_t* src, int cols, int rows, int w, int h, bool colour,
                       uint8_t fill)
    : src_(src), cols_(cols), rows_(rows), w_(w), h_(h), bpp_(colour ? 3 : 1), fill_(fill) {
  if (cols < 1 || rows < 1 || w < 1 || h < 1) {
    w_ = h_ = 0;
    return;
  }
  scale_ = std::min(static_cast<float>(h) / rows, static_cast<float>(w) / cols);
  if (static_cast<double>(cols) / rows < static_cast<double>(w) / h)
    tx_ = static_cast<int>(w - cols * scale_) / 2;
  else
    ty_ = static_cast<int>(h - rows * scale_) / 2;

  // The columns whose source x lies strictly inside the image (0 < x < cols - 1)
  // form one run, as x grows with the column; every other column is fill.
  first_ = -1;
  for (int j = tx_; j < w - tx_ - 1; ++j) {
    const float x = (j - tx_) / scale_;
    if (!(x > 0 && x < cols - 1)) continue;
    if (first_ < 0) first_ = j;
    x0_.push_back(static_cast<int>(x) * bpp_);
    fx_.push_back(x - static_cast<int>(x));
  }
  if (first_ < 0) first_ = 0;
  blended_.resize(static_cast<size_t>(cols) * bpp_);
}

const uint8_t* FitSampler::Identity() {
  static const auto table = [] {
    static uint8_t t[256];
    for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
    return t;
  }();
  return table;
}

void FitSampler::Row(int i, uint8_t* out, const uint8_t* lut, bool swapRB) {
  if (w_ == 0) return;
  std::memset(out, lut[fill_], static_cast<size_t>(w_) * bpp_);
  if (i < ty_ || i >= h_ - ty_ - 1 || x0_.empty()) return;
  const float y = (i - ty_) / scale_;
  if (!(y > 0 && y < rows_ - 1)) return;
  const int y0 = static_cast<int>(y);
  const float fy = y - y0;

  // Down: the source row pair blended at fy. (The restrict-qualified locals
  // tell the compiler that the byte rows alias none of the tables.)
  const size_t samples = static_cast<size_t>(cols_) * bpp_;
  const uint8_t* __restrict top = src_ + y0 * samples;
  const uint8_t* __restrict bottom = top + samples;
  float* __restrict blended = blended_.data();
  size_t k = 0;
  for (; k + 4 <= samples; k += 4) { // four samples at a time in vector registers
    Bytes4 t, b;
    std::memcpy(&t, top + k, 4);
    std::memcpy(&b, bottom + k, 4);
    const Floats4 ft = __builtin_convertvector(t, Floats4);
    const Floats4 v = ft + (__builtin_convertvector(b, Floats4) - ft) * fy;
    std::memcpy(blended + k, &v, sizeof v);
  }
  for (; k < samples; ++k) blended[k] = top[k] + (bottom[k] - top[k]) * fy;

  // Across: each image column between its two blended samples.
  const size_t n = x0_.size();
  const int* __restrict x0 = x0_.data();
  const float* __restrict fx = fx_.data();
  uint8_t* __restrict dst = out + static_cast<size_t>(first_) * bpp_;
  if (bpp_ == 1) {
    for (size_t k = 0; k < n; ++k) {
      const float* p = blended + x0[k];
      dst[k] = lut[static_cast<int>(p[0] + (p[1] - p[0]) * fx[k])];
    }
    return;
  }
  const int r = swapRB ? 2 : 0, b = swapRB ? 0 : 2;
  for (size_t k = 0; k < n; ++k, dst += 3) {
    const float* p = blended + x0[k];
    const float f = fx[k];
    dst[r] = lut[static_cast<int>(p[0] + (p[3] - p[0]) * f)];
    dst[1] = lut[static_cast<int>(p[1] + (p[4] - p[1]) * f)];
    dst[b] = lut[static_cast<int>(p[2] + (p[5] - p[2]) * f)];
  }
}
