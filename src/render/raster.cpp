#include "render/raster.h"

#include <algorithm>

uint8_t GreyOf(RGBColor colour) {
  return static_cast<uint8_t>((colour.r + colour.g + colour.b) / 3);
}

Raster NewUnsetRaster(int width, int height, bool color) {
  Raster raster;
  if (width < 1 || height < 1) return raster;
  raster.width = width;
  raster.height = height;
  raster.color = color;
  const size_t size = static_cast<size_t>(width) * height * raster.BytesPerPixel();
  raster.pixels.resize(size);
  return raster;
}

void FillPixels(Raster& raster, uint8_t* start, int count, RGBColor colour) {
  if (count < 1) return;
  if (!raster.color) {
    std::fill_n(start, count, GreyOf(colour));
  } else if (colour.r == colour.g && colour.g == colour.b) {
    std::fill_n(start, static_cast<size_t>(count) * 3, colour.r);
  } else {
    for (int x = 0; x < count; ++x, start += 3) {
      start[0] = colour.b;
      start[1] = colour.g;
      start[2] = colour.r;
    }
  }
}

Raster NewGreyRaster(int width, int height, RGBColor colour) {
  Raster raster = NewUnsetRaster(width, height, false);
  std::fill(raster.pixels.begin(), raster.pixels.end(), GreyOf(colour));
  return raster;
}

Raster NewColorRaster(int width, int height, RGBColor colour) {
  Raster raster = NewUnsetRaster(width, height, true);
  if (raster.Empty()) return raster;
  if (colour.r == colour.g && colour.g == colour.b) {
    std::fill(raster.pixels.begin(), raster.pixels.end(), colour.r);
    return raster;
  }
  FillPixels(raster, raster.Row(0), width, colour);
  for (int y = 1; y < height; ++y) std::copy_n(raster.Row(0), raster.Stride(), raster.Row(y));
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
  for (int sy = sy0; sy < sy1; ++sy)
    CopyPixels(source.Row(sy) + sx0 * source.BytesPerPixel(), source.color,
               target.Row(y + sy) + (x + sx0) * target.BytesPerPixel(), target.color, sx1 - sx0);
}

void CopyPixels(const uint8_t* in, bool inColour, uint8_t* out, bool outColour, int count) {
  if (inColour == outColour) {
    std::copy_n(in, static_cast<size_t>(count) * (inColour ? 3 : 1), out);
  } else if (outColour) {
    for (int i = 0; i < count; ++i, out += 3) out[0] = out[1] = out[2] = in[i];
  } else {
    for (int i = 0; i < count; ++i, in += 3) out[i] = static_cast<uint8_t>((in[0] + in[1] + in[2]) / 3);
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
