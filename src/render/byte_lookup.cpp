#include "render/byte_lookup.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

void LookUpEach(uint8_t* __restrict data, size_t count, const uint8_t* __restrict table) {
  for (size_t k = 0; k < count; ++k) data[k] = table[data[k]];
}

#if defined(__x86_64__)
// 64 bytes per step: two 128-entry byte permutes over the table's halves, and
// each byte's top bit picks the half.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void LookUpVbmi(uint8_t* data, size_t count,
                                                                         const uint8_t* table) {
  const __m512i t0 = _mm512_loadu_si512(table), t1 = _mm512_loadu_si512(table + 64);
  const __m512i t2 = _mm512_loadu_si512(table + 128), t3 = _mm512_loadu_si512(table + 192);
  for (size_t k = 0; k < count; k += 64) {
    const size_t left = count - k;
    const __mmask64 lanes = left >= 64 ? ~__mmask64{0} : (__mmask64{1} << left) - 1;
    const __m512i index = _mm512_maskz_loadu_epi8(lanes, data + k);
    const __m512i low = _mm512_permutex2var_epi8(t0, index, t1);
    const __m512i high = _mm512_permutex2var_epi8(t2, index, t3);
    _mm512_mask_storeu_epi8(data + k, lanes,
                            _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high));
  }
}

bool HasVbmi() {
  static const bool has = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
  return has;
}
#endif

} // namespace

void LookUpBytes(uint8_t* data, size_t count, const uint8_t* table) {
#if defined(__x86_64__)
  if (HasVbmi()) return LookUpVbmi(data, count, table);
#endif
  LookUpEach(data, count, table);
}
