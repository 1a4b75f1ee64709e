// The per-pixel stages of film composition one by one, on one 512 x 512 CT cell
// and on a 4000 x 4000 page, against a plain copy of the same bytes; and the
// PDF writer around an encoded film against copying the JPEG data.
//   build/bench/adjustments_bench --benchmark_min_time=0.2
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "render/image_adjustments.h"
#include "render/jpeg_encoder.h"
#include "render/pdf_writer.h"

namespace {

constexpr int kCell = 512;  // source image
constexpr int kFit = 799;   // one cell of STANDARD\4,5 on a 3995 x 4000 page
constexpr int kPage = 4000; // filtered page

std::vector<uint8_t> Texture(int width, int height, int bpp) {
  std::vector<uint8_t> pixels(size_t(width) * height * bpp);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * bpp; ++x)
      pixels[size_t(y) * width * bpp + x] =
          static_cast<uint8_t>(128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.03));
  return pixels;
}

Raster PageOf(int size, bool colour) {
  Raster raster = colour ? NewColorRaster(size, size, RGBColor{0, 0, 0})
                         : NewGreyRaster(size, size, RGBColor{0, 0, 0});
  const std::vector<uint8_t> texture = Texture(size, size, colour ? 3 : 1);
  raster.pixels.assign(texture.begin(), texture.end());
  return raster;
}

void BuildTone(benchmark::State &state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(BuildToneTable(0.8f, 3));
}

// Argument: 1 colour.
void Fit(benchmark::State &state) {
  const bool colour = state.range(0) == 1;
  const std::vector<uint8_t> src = Texture(kCell, kCell, colour ? 3 : 1);
  std::vector<uint8_t> buf(size_t(kFit) * kFit * (colour ? 3 : 1));
  for (auto _ : state) {
    FitResample(src.data(), kCell, kCell, buf.data(), kFit, kFit, colour, 0);
    benchmark::DoNotOptimize(buf.data());
  }
}

void ToneCell(benchmark::State &state) {
  const bool colour = state.range(0) == 1;
  const std::vector<uint8_t> buf = Texture(kFit, kFit, colour ? 3 : 1);
  Raster raster = PageOf(kFit, colour);
  const ToneTable table = BuildToneTable(0.8f, 3);
  for (auto _ : state) {
    ApplyToneTable(buf.data(), table, raster);
    benchmark::DoNotOptimize(raster.pixels.data());
  }
}

// Reference for the cell stages: copying the cell's bytes.
void CopyCell(benchmark::State &state) {
  const bool colour = state.range(0) == 1;
  const std::vector<uint8_t> buf = Texture(kFit, kFit, colour ? 3 : 1);
  std::vector<uint8_t> out(buf.size());
  for (auto _ : state) {
    std::memcpy(out.data(), buf.data(), buf.size());
    benchmark::DoNotOptimize(out.data());
  }
}

void Saturation(benchmark::State &state) {
  Raster raster = PageOf(kPage, true);
  for (auto _ : state) {
    AdjustSaturation(raster, 2);
    benchmark::DoNotOptimize(raster.pixels.data());
  }
}

// Argument: 0 sharpen, 1 smooth; second: 1 colour.
void Filter(benchmark::State &state) {
  Raster raster = PageOf(kPage, state.range(1) == 1);
  for (auto _ : state) {
    state.range(0) == 0 ? Sharpen(raster) : Smooth(raster);
    benchmark::DoNotOptimize(raster.pixels.data());
  }
}

// Reference for the page stages: copying the page's bytes.
void CopyPage(benchmark::State &state) {
  const Raster raster = PageOf(kPage, state.range(0) == 1);
  std::vector<uint8_t> out(raster.pixels.size());
  for (auto _ : state) {
    std::memcpy(out.data(), raster.pixels.data(), out.size());
    benchmark::DoNotOptimize(out.data());
  }
}

struct EncodedFilm {
  EncodedFilm() {
    const Raster page = PageOf(kPage, false);
    EncodeJpeg(page.width, page.height, 1, page.pixels.data(), jpeg);
  }
  std::vector<uint8_t> jpeg;
};

void PdfAroundJpeg(benchmark::State &state) {
  static const EncodedFilm film;
  for (auto _ : state) {
    std::string pdf;
    WritePdf(pdf, film.jpeg.data(), film.jpeg.size(), kPage, kPage, false);
    benchmark::DoNotOptimize(pdf.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(film.jpeg.size()));
}

void CopyJpeg(benchmark::State &state) {
  static const EncodedFilm film;
  for (auto _ : state) {
    std::string copy(film.jpeg.begin(), film.jpeg.end());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(film.jpeg.size()));
}

} // namespace

BENCHMARK(BuildTone);
BENCHMARK(Fit)->ArgName("colour")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(ToneCell)->ArgName("colour")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(CopyCell)->ArgName("colour")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(Saturation)->Unit(benchmark::kMillisecond);
BENCHMARK(Filter)
    ->ArgNames({"smooth", "colour"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(CopyPage)->ArgName("colour")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PdfAroundJpeg)->Unit(benchmark::kMicrosecond);
BENCHMARK(CopyJpeg)->Unit(benchmark::kMicrosecond);
