// Film composition of arbitrary layouts: a film box of up to 4 x 4 cells with
// small grey or colour images, fitted or at a requested size, filtered, with
// scale bars, composed on a raster whose storage is reused and poisoned. The
// film must equal the same film drawn on a raster filled with the border
// colour first: every pixel that DrawImage leaves is border.
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "print/film_box.h"
#include "render/composition.h"

namespace {

class Input {
public:
  Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  int Range(int low, int high) { return low + Byte() % (high - low + 1); }
  int Word(int low, int high) {
    const int high8 = Byte();
    return low + ((high8 << 8) | Byte()) % (high - low + 1);
  }

private:
  const uint8_t *data_;
  size_t size_, at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Input in(data, size);
  FilmBox film;
  film.Columns = in.Range(1, 4);
  film.Rows = in.Range(1, 4);
  const uint8_t flags = in.Byte();
  film.TrueSizePrint = flags & 1;
  film.ScaleBar = flags & 2;
  film.FilterIndex = (flags >> 2) % 3;
  film.BorderDensity = (flags & 16) ? "WHITE" : "150";
  film.EmptyImageDensity = (flags & 32) ? "BLACK" : "";
  film.SaturationIndex = in.Range(0, 20);
  film.GammaIndex = in.Range(0, 28);
  film.ContrastIndex = in.Range(0, 20);
  FilmComposition composition;
  composition.width = in.Word(1, 320);
  composition.height = in.Word(1, 320);
  composition.color = flags & 64;
  ResolveFilmColors(film, composition);

  const int boxes = in.Range(0, film.Columns * film.Rows + 1);
  for (int i = 0; i < boxes; ++i) {
    auto box = std::make_unique<ImageBox>();
    box->Columns = static_cast<uint16_t>(in.Range(0, 40));
    box->Rows = static_cast<uint16_t>(in.Range(0, 40));
    box->BitsStored = 8;
    box->IsRGB = in.Byte() & 1;
    box->RequestedImageSize = static_cast<float>(in.Range(0, 60));
    box->Pixels.resize(size_t{box->Rows} * box->Columns * (box->IsRGB ? 3 : 1));
    for (uint8_t &sample : box->Pixels) sample = in.Byte();
    film.ImageBoxes.push_back(std::move(box));
  }
  if (!InitPrint(film, composition, 300, 300))
    return 0;

  const int W = composition.width, H = composition.height;
  Raster expected = composition.color ? NewColorRaster(W, H, composition.border)
                                      : NewGreyRaster(W, H, composition.border);
  DrawImage(film, expected, W, H, film.Columns, film.Rows);
  {
    Raster earlier = NewUnsetRaster(W, H, composition.color);
    std::fill(earlier.pixels.begin(), earlier.pixels.end(), uint8_t(0xA5));
  }
  Raster composed = NewCompositionRaster(film, composition);
  DrawImage(film, composed, W, H, film.Columns, film.Rows);
  if (composed.pixels != expected.pixels)
    std::abort();
  return 0;
}
