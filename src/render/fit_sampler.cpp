#include "render/fit_sampler.h"

#include <algorithm>
#include <cstring>

#include "render/byte_lookup.h"
#include "render/vector_clones.h"

#if defined(__x86_64__)
#include <immintrin.h>
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

#if defined(__x86_64__)
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// The blend of the colour loop below for two pixels per step, one in each
// 128-bit lane: the eight bytes from each pixel's offset (it, its right
// neighbour and two more) are spread into the four samples of the pixel and of
// its neighbour, in output channel order, and blended with a multiply and an
// add as there, so that every processor gives the same samples. Returns how
// many of the first count columns it did.
__attribute__((target("avx2"))) size_t AcrossColourAvx2(const uint8_t* row, const int* x0,
                                                        const float* fx, size_t count, float* out,
                                                        bool swapRB) {
  // Byte i of a 128-bit lane becomes sample i / 4 (-1 gives 0): lane 0 takes
  // the first pixel's group (bytes 0 to 7), lane 1 the second's (8 to 15).
  const __m256i left = swapRB ? _mm256_setr_epi8(2, -1, -1, -1, 1, -1, -1, -1, 0, -1, -1, -1, -1, -1, -1, -1,
                                                 10, -1, -1, -1, 9, -1, -1, -1, 8, -1, -1, -1, -1, -1, -1, -1)
                              : _mm256_setr_epi8(0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, -1, -1, -1, -1,
                                                 8, -1, -1, -1, 9, -1, -1, -1, 10, -1, -1, -1, -1, -1, -1, -1);
  const __m256i right = _mm256_add_epi8(left, _mm256_and_si256(_mm256_cmpgt_epi8(left, _mm256_set1_epi8(-1)),
                                                               _mm256_set1_epi8(3)));
  const __m256i fractionLanes = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
  size_t k = 0;
  for (; k + 1 < count; k += 2, out += 6) {
    const __m128i groups = _mm_unpacklo_epi64(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x0[k])),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x0[k + 1])));
    const __m256i both = _mm256_broadcastsi128_si256(groups);
    const __m256 a = _mm256_cvtepi32_ps(_mm256_shuffle_epi8(both, left));
    const __m256 b = _mm256_cvtepi32_ps(_mm256_shuffle_epi8(both, right));
    const __m256 f = _mm256_permutevar8x32_ps(
        _mm256_castps128_ps256(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(fx + k)))),
        fractionLanes);
    const __m256 v = _mm256_add_ps(a, _mm256_mul_ps(_mm256_sub_ps(b, a), f));
    _mm_storeu_ps(out, _mm256_castps256_ps128(v));
    _mm_storeu_ps(out + 3, _mm256_extractf128_ps(v, 1));
  }
  return k;
}

// The grey blend below for 16 columns per step, while the columns are at most
// one source sample apart (an enlarged image): each chunk's left samples lie
// in the 16 bytes from its first column's offset, its right neighbours in the
// 16 bytes after that, and the chunk's shuffle control picks them.
__attribute__((target("avx2"))) void AcrossGreyAvx2(const uint8_t* row, const int* x0,
                                                    const float* fx, const uint8_t* shuffles,
                                                    size_t chunks, float* out) {
  for (size_t c = 0; c < chunks; ++c, out += 16, fx += 16) {
    const uint8_t* at = row + x0[16 * c];
    const __m128i control = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffles + 16 * c));
    const __m128i left = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), control);
    const __m128i right =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1)), control);
    for (int half = 0; half < 2; ++half) {
      const __m256 a = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(half ? _mm_srli_si128(left, 8) : left));
      const __m256 b = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(half ? _mm_srli_si128(right, 8) : right));
      const __m256 v = _mm256_add_ps(a, _mm256_mul_ps(_mm256_sub_ps(b, a), _mm256_loadu_ps(fx + 8 * half)));
      _mm256_storeu_ps(out + 8 * half, v);
    }
  }
}
#endif
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
    // The leading chunks of 16 columns that span at most 16 source samples
    // and whose 17 bytes lie inside the source row.
    for (size_t k = 0; k + 16 <= x0_.size(); k += 16) {
      if (x0_[k + 15] - x0_[k] > 15 || x0_[k] + 17 > cols) break;
      for (size_t i = k; i < k + 16; ++i) greyShuffles_.push_back(static_cast<uint8_t>(x0_[i] - x0_[k]));
      ++greyChunks_;
    }
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

VECTOR_CLONES const float* FitSampler::Across(int y, bool swapRB) {
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
    size_t k = 0;
#if defined(__x86_64__)
    if (HasAvx2()) {
      AcrossGreyAvx2(row, x0, fx, greyShuffles_.data(), greyChunks_, out);
      k = 16 * greyChunks_;
    }
#endif
    // The row's samples and steps to the right neighbour as floats first, in a
    // vectorised loop, so that the per-column loop converts nothing.
    float* __restrict base = base_.data();
    float* __restrict step = step_.data();
    for (int x = 0; x < cols_ - 1; ++x) {
      base[x] = row[x];
      step[x] = static_cast<float>(row[x + 1] - row[x]);
    }
    for (; k < n; ++k) out[k] = base[x0[k]] + step[x0[k]] * fx[k];
    return out;
  }
  // A colour pixel and its right neighbour as two groups of four samples, the
  // fourth one spare, blended at once; the stored spare is overwritten by the
  // next pixel (the row has room for one more). The last columns, whose spare
  // would lie beyond the source row, go one channel at a time.
  const int r = swapRB ? 2 : 0, b = swapRB ? 0 : 2;
  const size_t vectorEnd = std::min(n, wholeGroups_);
  size_t k = 0;
#if defined(__x86_64__)
  if (HasAvx2()) {
    k = AcrossColourAvx2(row, x0, fx, vectorEnd, out, swapRB);
    out += 3 * k;
  }
#endif
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

VECTOR_CLONES void FitSampler::Row(int i, uint8_t* out, const uint8_t* lut, bool swapRB) {
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
