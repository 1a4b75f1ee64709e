// Film composition against the JPEG encoding of the same raster: the encoder,
// not the composition, should dominate the time of a file film.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "print/film_box.h"
#include "render/composition.h"
#include "render/jpeg_encoder.h"

namespace {

// A CT-like slice: a disc of soft tissue texture with a bright insert.
std::unique_ptr<ImageBox> Slice(int columns, int rows, bool rgb, int seed) {
  auto box = std::make_unique<ImageBox>();
  box->Columns = static_cast<uint16_t>(columns);
  box->Rows = static_cast<uint16_t>(rows);
  box->BitsStored = 8;
  box->IsRGB = rgb;
  const int bpp = rgb ? 3 : 1;
  box->Pixels.resize(size_t(columns) * rows * bpp);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < columns; ++x) {
      const double dx = x - columns / 2.0, dy = y - rows / 2.0;
      const double r = std::sqrt(dx * dx + dy * dy) / (std::min(columns, rows) / 2.0);
      const int v = r > 0.9 ? 0 : int(90 + 50 * std::sin(x * 0.07 + seed) * std::cos(y * 0.05));
      uint8_t* px = &box->Pixels[(size_t(y) * columns + x) * bpp];
      for (int c = 0; c < bpp; ++c) px[c] = static_cast<uint8_t>(v + 30 * c);
    }
  return box;
}

// STANDARD\4,5 with 20 CT slices of 512 x 512: a 3995 x 4000 grey composition.
std::unique_ptr<FilmBox> CtFilm() {
  auto film = std::make_unique<FilmBox>();
  film->Columns = 4;
  film->Rows = 5;
  film->BorderDensity = "BLACK";
  for (int i = 0; i < 20; ++i) film->ImageBoxes.push_back(Slice(512, 512, false, i));
  return film;
}

// A colour film of 14 x 17 inches at 300 dpi (4200 x 5100), STANDARD\2,2 with
// four 1024 x 1024 RGB images.
std::unique_ptr<FilmBox> ColourFilm() {
  auto film = std::make_unique<FilmBox>();
  film->Columns = 2;
  film->Rows = 2;
  film->Color = true;
  film->FilmSizeID = "14INX17IN";
  for (int i = 0; i < 4; ++i) film->ImageBoxes.push_back(Slice(1024, 1024, true, i));
  return film;
}

FilmPage PageOf(const FilmBox& film) {
  return film.Color ? FilmPage{14 * kCompositionDpi, 17 * kCompositionDpi} : FilePageGeometry(film);
}

Raster Compose(FilmBox& film) {
  FilmComposition c;
  ComputeComposition(film, "JPEG", PageOf(film), false, c);
  ResolveFilmColors(film, c);
  c.color = film.Color;
  InitPrint(film, c, kCompositionDpi, kCompositionDpi);
  Raster raster = NewCompositionRaster(film, c);
  DrawImage(film, raster, c.width, c.height, film.Columns, film.Rows);
  return raster;
}

void ComposeFilm(benchmark::State& state, std::unique_ptr<FilmBox> (*make)()) {
  auto film = make();
  film->FilterIndex = static_cast<int32_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(Compose(*film).pixels.data());
}

void EncodeFilm(benchmark::State& state, std::unique_ptr<FilmBox> (*make)()) {
  auto film = make();
  const Raster raster = Compose(*film);
  std::vector<uint8_t> jpeg;
  for (auto _ : state) {
    EncodeJpeg(raster.width, raster.height, raster.BytesPerPixel(), raster.pixels.data(), jpeg);
    benchmark::DoNotOptimize(jpeg.data());
  }
  state.counters["bytes"] = static_cast<double>(jpeg.size());
}

// Argument: FilterIndex (0 none, 1 sharpen, 2 smooth).
BENCHMARK_CAPTURE(ComposeFilm, CT_4x5, CtFilm)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeFilm, CT_4x5, CtFilm)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ComposeFilm, Colour_14x17, ColourFilm)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeFilm, Colour_14x17, ColourFilm)->Unit(benchmark::kMillisecond);

} // namespace
