#include "render/fit_sampler.h"

#include <algorithm>
#include <cstring>

#include "render/byte_lookup.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
using Floats4 = float __attribute__((vector_size(16)));

// The four bytes from p as floats.
Floats4 FourSamples(const uint8_t* p) {
#if defined(__SSE2__) // widened by interleaving with zeros; the compiler would go lane by lane
  int32_t word;
  std::memcpy(&word, p, 4);
  const __m128i zero = _mm_setzero_si128();
  const __m128i lanes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
  return Floats4(_mm_cvtepi32_ps(lanes));
#else
  uint8_t __attribute__((vector_size(4))) bytes;
  std::memcpy(&bytes, p, 4);
  return __builtin_convertvector(bytes, Floats4);
#endif
}
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
  // Colour columns whose right neighbour is not the last source pixel.
  wholeGroups_ = std::lower_bound(x0_.begin(), x0_.end(), (cols - 2) * bpp_) - x0_.begin();
  for (auto& row : across_) row.resize(x0_.size() * bpp_ + 1);
  if (!colour) {
    base_.resize(cols);
    step_.resize(cols);
  }
}

const uint8_t* FitSampler::Identity() {
  static const auto table = [] {
    static uint8_t t[256];
    for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
    return t;
  }();
  return table;
}

const float* FitSampler::Across(int y, bool swapRB) {
  if (swapRB != acrossSwapped_) acrossRow_[0] = acrossRow_[1] = -1;
  acrossSwapped_ = swapRB;
  for (int k = 0; k < 2; ++k)
    if (acrossRow_[k] == y) {
      older_ = 1 - k;
      return across_[k].data();
    }
  const int slot = older_;
  older_ = 1 - slot;
  acrossRow_[slot] = y;

  const uint8_t* __restrict row = src_ + static_cast<size_t>(y) * cols_ * bpp_;
  const int* __restrict x0 = x0_.data();
  const float* __restrict fx = fx_.data();
  float* __restrict out = across_[slot].data();
  const size_t n = x0_.size();
  if (bpp_ == 1) {
    // The row's samples and steps to the right neighbour as floats first, in a
    // vectorised loop, so that the per-column loop converts nothing.
    float* __restrict base = base_.data();
    float* __restrict step = step_.data();
    for (int x = 0; x < cols_ - 1; ++x) {
      base[x] = row[x];
      step[x] = static_cast<float>(row[x + 1] - row[x]);
    }
    for (size_t k = 0; k < n; ++k) out[k] = base[x0[k]] + step[x0[k]] * fx[k];
    return out;
  }
  // A colour pixel and its right neighbour as two groups of four samples, the
  // fourth one spare, blended at once; the stored spare is overwritten by the
  // next pixel (the row has room for one more). The last columns, whose spare
  // would lie beyond the source row, go one channel at a time.
  const int r = swapRB ? 2 : 0, b = swapRB ? 0 : 2;
  const size_t vectorEnd = std::min(n, wholeGroups_);
  size_t k = 0;
  for (; k < vectorEnd; ++k, out += 3) {
    Floats4 v = FourSamples(row + x0[k]);
    v += (FourSamples(row + x0[k] + 3) - v) * fx[k];
    if (swapRB) v = Floats4{v[2], v[1], v[0], v[3]};
    std::memcpy(out, &v, sizeof v);
  }
  for (; k < n; ++k, out += 3) {
    const uint8_t* p = row + x0[k];
    const float f = fx[k];
    out[r] = p[0] + (p[3] - p[0]) * f;
    out[1] = p[1] + (p[4] - p[1]) * f;
    out[b] = p[2] + (p[5] - p[2]) * f;
  }
  return across_[slot].data();
}

void FitSampler::Row(int i, uint8_t* out, const uint8_t* lut, bool swapRB) {
  if (w_ == 0) return;
  const uint8_t fill = lut[fill_];
  const size_t rowSamples = static_cast<size_t>(w_) * bpp_;
  const size_t begin = static_cast<size_t>(first_) * bpp_, count = x0_.size() * bpp_;
  const float y = (i - ty_) / scale_;
  if (i < ty_ || i >= h_ - ty_ - 1 || count == 0 || !(y > 0 && y < rows_ - 1)) {
    std::memset(out, fill, rowSamples);
    return;
  }
  std::memset(out, fill, begin);
  std::memset(out + begin + count, fill, rowSamples - begin - count);

  // Down: between the across-sampled rows y0 and y0 + 1, in a loop of plain
  // float maths the compiler vectorises; the table lookup follows on the bytes.
  const int y0 = static_cast<int>(y);
  const float fy = y - y0;
  const float* __restrict top = Across(y0, swapRB);
  const float* __restrict bottom = Across(y0 + 1, swapRB);
  uint8_t* __restrict dst = out + begin;
  for (size_t k = 0; k < count; ++k)
    dst[k] = static_cast<uint8_t>(static_cast<int>(top[k] + (bottom[k] - top[k]) * fy));
  if (lut != Identity()) LookUpBytes(dst, count, lut);
}
