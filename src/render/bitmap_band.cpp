#include "render/bitmap_band.h"

#include <cstdint>

BandPlacement PlaceBandBitmap(int bitmapWidth, int bitmapHeight, int pageWidth, int pageHeight,
                              int position) {
  BandPlacement band;
  band.height = pageHeight * 5 / 100;
  band.width = static_cast<int>(int64_t(bitmapWidth) * band.height / bitmapHeight);
  band.x = position == 1 ? (pageWidth - band.width) / 2 : position == 2 ? pageWidth - band.width : 0;
  if (band.x < 0) {
    band.x = 0;
    band.width = pageWidth;
    band.height = static_cast<int>(int64_t(bitmapHeight) * pageWidth / bitmapWidth);
  }
  return band;
}
