// The bitmap reader on arbitrary bytes: a decoded bitmap has the size it claims
// and a raster that holds exactly its pixels.
#include <cstdlib>

#include "render/bmp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Raster raster;
  std::string error;
  if (!DecodeBmp(data, size, raster, &error))
    return 0;
  if (raster.width <= 0 || raster.height <= 0 ||
      int64_t{raster.width} * raster.height > kMaxBmpPixels ||
      raster.pixels.size() != size_t(raster.width) * raster.height * raster.BytesPerPixel())
    std::abort();
  return 0;
}
