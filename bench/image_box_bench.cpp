// ImageBox::Set, the pixel intake of an N-SET, against a plain memcpy of the
// same Pixel Data value: the 8-bit path should run near memcpy speed, the
// 12-bit window path within a small factor of it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "dicom/dcm_obj.h"
#include "print/image_box.h"
#include "print/presentation_lut.h"

namespace {

// An N-SET data set of one grey image of size x size pixels.
DcmObj GreyImage(int size, bool twelveBit, bool window) {
  DcmObj dataset;
  dataset.AddUShort(0x0028, 0x0002, 1);
  dataset.AddString(0x0028, 0x0004, "MONOCHROME2");
  dataset.AddUShort(0x0028, 0x0010, static_cast<unsigned short>(size));
  dataset.AddUShort(0x0028, 0x0011, static_cast<unsigned short>(size));
  dataset.AddUShort(0x0028, 0x0100, twelveBit ? 16 : 8);
  dataset.AddUShort(0x0028, 0x0101, twelveBit ? 12 : 8);
  if (window) {
    dataset.AddString(0x0028, 0x1050, "1024");
    dataset.AddString(0x0028, 0x1051, "2048");
    dataset.AddString(0x0028, 0x1052, "0");
    dataset.AddString(0x0028, 0x1053, "1");
  }
  const std::size_t pixels = std::size_t(size) * size;
  std::vector<uint8_t> value(pixels * (twelveBit ? 2 : 1));
  for (std::size_t i = 0; i < pixels; ++i) {
    const unsigned sample = (i * 2654435761u >> 7) & 0x0FFF;
    if (twelveBit) {
      value[2 * i] = static_cast<uint8_t>(sample);
      value[2 * i + 1] = static_cast<uint8_t>(sample >> 8);
    } else {
      value[i] = static_cast<uint8_t>(sample);
    }
  }
  dataset.AddBytes(0x7FE0, 0x0010, static_cast<uint32_t>(value.size()), value.data());
  return dataset;
}

void SetCounters(benchmark::State &state, int size) {
  state.counters["MP/s"] =
      benchmark::Counter(double(size) * size / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ImageBoxSet(benchmark::State &state) {
  const int size = static_cast<int>(state.range(0));
  const DcmObj dataset = GreyImage(size, state.range(1) != 0, state.range(1) == 1);
  const PresentationLUT lut;
  ImageBox box;
  for (auto _ : state) {
    box.Set(dataset, lut);
    benchmark::DoNotOptimize(box.Pixels.data());
  }
  SetCounters(state, size);
}

// Reference: copying the Pixel Data value once.
void BM_MemcpyReference(benchmark::State &state) {
  const int size = static_cast<int>(state.range(0));
  const std::size_t bytes = std::size_t(size) * size * (state.range(1) ? 2 : 1);
  std::vector<uint8_t> from(bytes, 1), to;
  for (auto _ : state) {
    to.assign(bytes, 0);
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  }
  SetCounters(state, size);
}

} // namespace

// Arguments: image size, then 0 for the 8-bit copy path, 1 for the 12-bit
// window path or 2 for the 12-bit shift path (no window).
BENCHMARK(BM_ImageBoxSet)->ArgsProduct({{512, 4096}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyReference)->ArgsProduct({{512, 4096}, {0, 1}})->Unit(benchmark::kMillisecond);
