// Decoding and re-encoding an image box data set (N-SET of a Basic Grayscale
// Image Box: a sequence item with 16-bit pixel data), against a plain copy of
// the same bytes into a fresh buffer as the reference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "dicom/buf_data.h"
#include "dicom/dcm_obj.h"

namespace {

std::vector<uint8_t> ImageBoxDataSet(int side) {
  DcmObj obj;
  obj.AddString(0x2020, 0x0010, "1");
  obj.Add(new DcmTag(0x2020, 0x0110, kUndefinedLength, nullptr));
  obj.Add(new DcmTag(0xFFFE, 0xE000, kUndefinedLength, nullptr));
  obj.AddUShort(0x0028, 0x0002, 1);
  obj.AddString(0x0028, 0x0004, "MONOCHROME2");
  obj.AddUShort(0x0028, 0x0010, static_cast<unsigned short>(side));
  obj.AddUShort(0x0028, 0x0011, static_cast<unsigned short>(side));
  obj.AddUShort(0x0028, 0x0100, 16);
  obj.AddUShort(0x0028, 0x0101, 12);
  obj.AddUShort(0x0028, 0x0102, 11);
  obj.AddUShort(0x0028, 0x0103, 0);
  std::vector<uint16_t> pixels(size_t(side) * side);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint16_t>(i & 0x0FFF);
  obj.AddBytes(0x7FE0, 0x0010, static_cast<uint32_t>(pixels.size() * 2), pixels.data());
  obj.Add(new DcmTag(0xFFFE, 0xE00D, 0, nullptr));
  obj.Add(new DcmTag(0xFFFE, 0xE0DD, 0, nullptr));
  BufData buf;
  buf.WriteObj(obj);
  return buf.TakeBytes();
}

void Decode(benchmark::State &state) {
  BufData buf;
  buf.Assign(ImageBoxDataSet(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    DcmObj obj;
    buf.Seek(0);
    benchmark::DoNotOptimize(buf.ReadObj(obj));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(buf.Size()));
}

void Encode(benchmark::State &state) {
  BufData in;
  in.Assign(ImageBoxDataSet(static_cast<int>(state.range(0))));
  DcmObj obj;
  in.ReadObj(obj);
  for (auto _ : state) {
    BufData out;
    out.WriteObj(obj);
    benchmark::DoNotOptimize(out.Bytes().data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.Size()));
}

// Reference: the same bytes copied once into a freshly allocated buffer.
void CopyReference(benchmark::State &state) {
  const std::vector<uint8_t> bytes = ImageBoxDataSet(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto copy = std::make_unique_for_overwrite<uint8_t[]>(bytes.size());
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(copy.get());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

} // namespace

// 512 x 512 (512 KB of pixels) and 4096 x 4096 (32 MB).
BENCHMARK(CopyReference)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(Decode)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(Encode)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);
