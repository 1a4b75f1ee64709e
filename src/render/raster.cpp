#include "render/raster.h"

#include <algorithm>

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr size_t kHugeRasterBytes = size_t{8} << 20;

// Gives the raster storage for size bytes, not yet written. Page rasters and
// large cells run to tens of megabytes, freshly mapped for each film: backed by
// huge pages, their first touch takes one fault per 2 MB instead of per 4 KB.
// Small rasters come from the heap and stay with normal pages.
void ReservePixels(Raster& raster, size_t size) {
  raster.pixels.reserve(size);
  if (size < kHugeRasterBytes) return;
  static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t begin = reinterpret_cast<uintptr_t>(raster.pixels.data());
  const uintptr_t first = (begin + page - 1) & ~(page - 1), last = (begin + size) & ~(page - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

} // namespace

uint8_t GreyOf(RGBColor colour) {
  return static_cast<uint8_t>((colour.r + colour.g + colour.b) / 3);
}

Raster NewGreyRaster(int width, int height, RGBColor colour) {
  Raster raster;
  if (width < 1 || height < 1) return raster;
  raster.width = width;
  raster.height = height;
  ReservePixels(raster, static_cast<size_t>(width) * height);
  raster.pixels.assign(static_cast<size_t>(width) * height, GreyOf(colour));
  return raster;
}

Raster NewColorRaster(int width, int height, RGBColor colour) {
  Raster raster;
  if (width < 1 || height < 1) return raster;
  raster.width = width;
  raster.height = height;
  raster.color = true;
  ReservePixels(raster, static_cast<size_t>(width) * height * 3);
  if (colour.r == colour.g && colour.g == colour.b) {
    raster.pixels.assign(static_cast<size_t>(width) * height * 3, colour.r);
    return raster;
  }
  raster.pixels.resize(static_cast<size_t>(width) * height * 3);
  uint8_t* first = raster.Row(0);
  for (int x = 0; x < width; ++x) {
    first[3 * x] = colour.b;
    first[3 * x + 1] = colour.g;
    first[3 * x + 2] = colour.r;
  }
  for (int y = 1; y < height; ++y) std::copy_n(first, raster.Stride(), raster.Row(y));
  return raster;
}

void BlitRaster(Raster& target, int x, int y, const Raster& source) {
  if (target.Empty() || source.Empty()) return;
  // Source columns [sx0, sx1) and rows [sy0, sy1) land inside 1..width-1, 1..height-1.
  const int sx0 = std::max(0, 1 - x);
  const int sx1 = std::min(source.width, target.width - x);
  const int sy0 = std::max(0, 1 - y);
  const int sy1 = std::min(source.height, target.height - y);
  if (sx0 >= sx1 || sy0 >= sy1) return;
  const int count = sx1 - sx0;
  for (int sy = sy0; sy < sy1; ++sy) {
    const uint8_t* in = source.Row(sy) + sx0 * source.BytesPerPixel();
    uint8_t* out = target.Row(y + sy) + (x + sx0) * target.BytesPerPixel();
    if (source.color == target.color) {
      std::copy_n(in, count * source.BytesPerPixel(), out);
    } else if (target.color) {
      for (int i = 0; i < count; ++i, out += 3) out[0] = out[1] = out[2] = in[i];
    } else {
      for (int i = 0; i < count; ++i, in += 3) out[i] = static_cast<uint8_t>((in[0] + in[1] + in[2]) / 3);
    }
  }
}

void StretchRaster(Raster& target, int x, int y, int width, int height, const Raster& source) {
  if (target.Empty() || source.Empty() || width < 1 || height < 1) return;
  const int tx0 = std::max(x, 0), tx1 = std::min(x + width, target.width);
  const int ty0 = std::max(y, 0), ty1 = std::min(y + height, target.height);
  for (int ty = ty0; ty < ty1; ++ty) {
    const int sy = static_cast<int>(int64_t(ty - y) * source.height / height);
    const uint8_t* in = source.Row(sy);
    uint8_t* out = target.Row(ty);
    for (int tx = tx0; tx < tx1; ++tx) {
      const int sx = static_cast<int>(int64_t(tx - x) * source.width / width);
      if (!source.color && !target.color) {
        out[tx] = in[sx];
      } else if (!source.color) {
        out[3 * tx] = out[3 * tx + 1] = out[3 * tx + 2] = in[sx];
      } else if (target.color) {
        std::copy_n(in + 3 * sx, 3, out + 3 * tx);
      } else {
        out[tx] = static_cast<uint8_t>((in[3 * sx] + in[3 * sx + 1] + in[3 * sx + 2]) / 3);
      }
    }
  }
}
