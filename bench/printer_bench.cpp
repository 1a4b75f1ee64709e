// A 14 x 17 inch CT film (STANDARD\4,5 of 512 x 512 slices, DEFINED paper of
// 356 x 432 mm) printed on the queue of a private CUPS scheduler, from
// FilmBox::Print to the job accepted by the spooler, against the same film
// written as a PDF file by the file output; and the share of the Cairo PDF page.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cmath>
#include <memory>

#include "cups_spooler.h"
#include "frame/configuration.h"
#include "frame/program_folder.h"
#include "print/film_box.h"
#include "render/composition.h"
#include "render/pdf_page.h"
#include "support/test_support.h"

namespace {

std::unique_ptr<ImageBox> Slice(int seed) {
  auto box = std::make_unique<ImageBox>();
  box->Columns = box->Rows = 512;
  box->BitsStored = 8;
  box->Pixels.resize(512 * 512);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) {
      const double dx = x - 256.0, dy = y - 256.0;
      const double r = std::sqrt(dx * dx + dy * dy) / 256.0;
      box->Pixels[size_t(y) * 512 + x] = static_cast<uint8_t>(
          r > 0.9 ? 0 : int(90 + 50 * std::sin(x * 0.07 + seed) * std::cos(y * 0.05)));
    }
  return box;
}

std::unique_ptr<FilmBox> CtFilm() {
  auto film = std::make_unique<FilmBox>();
  film->Columns = 4;
  film->Rows = 5;
  film->FilmSizeID = "14INX17IN";
  film->BorderDensity = "BLACK";
  film->ColorPrinting = 2;
  for (int i = 0; i < 20; ++i) film->ImageBoxes.push_back(Slice(i));
  return film;
}

struct Setting {
  Setting() {
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    SetProgramFolder(home.folder());
    spooler.UseFromThisProcess();
    Film2paper table;
    table.Film14x17 = PaperDefined;
    table.DefWidth = 356;
    table.DefHeight = 432;
    ReplaceFilm2paper(table);
  }
  testing_support::TempDir home, config;
  PrivateSpooler spooler;
};

Setting& Shared() {
  static Setting setting;
  return setting;
}

void BM_FilmToSpoolerAccepted(benchmark::State& state) {
  if (!Shared().spooler.Ready()) return state.SkipWithError(Shared().spooler.Problem().c_str());
  for (auto _ : state) {
    auto film = CtFilm();
    if (film->Print("corvtest") != 0) return state.SkipWithError("print failed");
  }
}
BENCHMARK(BM_FilmToSpoolerAccepted)->Unit(benchmark::kMillisecond)->Iterations(4);

// Reference: the same film as a PDF file of the file output.
void BM_FilmToPdfFile(benchmark::State& state) {
  Shared();
  for (auto _ : state) {
    auto film = CtFilm();
    if (film->Print("PDF") != 0) return state.SkipWithError("print failed");
  }
}
BENCHMARK(BM_FilmToPdfFile)->Unit(benchmark::kMillisecond)->Iterations(4);

// The page alone: the composition of the printer page (4054 x 4802 at 300 dpi
// on the 600 dpi queue) drawn into a PDF page of 356 x 432 mm.
void BM_PdfPageOfFilm(benchmark::State& state) {
  const Raster slice = [] {
    Raster r = NewGreyRaster(512, 512, kBlack);
    const auto box = Slice(1);
    r.pixels.assign(box->Pixels.begin(), box->Pixels.end());
    return r;
  }();
  Raster film = NewGreyRaster(4054, 4802, kBlack);
  for (int row = 0; row < 5; ++row)
    for (int column = 0; column < 4; ++column)
      StretchRaster(film, column * 1013, row * 960, 1000, 950, slice);
  size_t bytes = 0;
  for (auto _ : state) {
    PdfPage page;
    page.Begin(1009.13, 1224.57);
    page.DrawRaster(18, 36, 973.13, 1152.57, film);
    if (!page.Finish()) return state.SkipWithError("page failed");
    bytes = page.Document().size();
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_PdfPageOfFilm)->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace
