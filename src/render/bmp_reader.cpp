#include "render/bmp_reader.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

uint32_t U16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

bool Refuse(const char* reason, std::string* error) {
  if (error) *error = reason;
  return false;
}

} // namespace

bool DecodeBmp(const uint8_t* data, size_t size, Raster& raster, std::string* error) {
  constexpr size_t kFileHeader = 14;
  if (size < kFileHeader + 40 || data[0] != 'B' || data[1] != 'M')
    return Refuse("not a BMP file", error);
  const uint32_t pixelOffset = U32(data + 10);
  const uint32_t infoSize = U32(data + 14);
  if (infoSize < 40 || infoSize > size - kFileHeader) return Refuse("bad BMP info header", error);
  const uint8_t* info = data + kFileHeader;
  const int32_t width = static_cast<int32_t>(U32(info + 4));
  const int32_t signedHeight = static_cast<int32_t>(U32(info + 8));
  const uint32_t bits = U16(info + 14);
  const uint32_t compression = U32(info + 16);
  uint32_t paletteCount = U32(info + 32);
  if (compression != 0)
    return Refuse("compressed BMP files are not supported", error);
  if (bits != 8 && bits != 24 && bits != 32) return Refuse("unsupported BMP bit depth", error);
  if (width < 1 || signedHeight == 0 || signedHeight == INT32_MIN)
    return Refuse("bad BMP size", error);
  const bool topDown = signedHeight < 0;
  const int32_t height = topDown ? -signedHeight : signedHeight;
  if (static_cast<int64_t>(width) * height > kMaxBmpPixels) return Refuse("BMP too large", error);

  std::vector<RGBColor> palette;
  if (bits == 8) {
    if (paletteCount == 0) paletteCount = 256;
    if (paletteCount > 256) return Refuse("bad BMP palette", error);
    const size_t paletteAt = kFileHeader + infoSize;
    if (paletteAt + size_t{paletteCount} * 4 > size) return Refuse("truncated BMP palette", error);
    for (uint32_t i = 0; i < paletteCount; ++i) {
      const uint8_t* p = data + paletteAt + i * 4;
      palette.push_back({p[2], p[1], p[0]});
    }
    palette.resize(256, kBlack); // indices beyond the palette show black
  }

  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  if (pixelOffset > size || stride * height > size - pixelOffset)
    return Refuse("truncated BMP pixel data", error);

  bool grey = bits == 8;
  for (const RGBColor& c : palette) grey = grey && c.r == c.g && c.g == c.b;
  raster = grey ? NewGreyRaster(width, height, kBlack) : NewColorRaster(width, height, kBlack);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = data + pixelOffset + stride * (topDown ? y : height - 1 - y);
    uint8_t* out = raster.Row(y);
    for (int32_t x = 0; x < width; ++x) {
      if (bits == 8) {
        const RGBColor c = palette[in[x]];
        if (grey) {
          out[x] = c.r;
        } else {
          out[3 * x] = c.b;
          out[3 * x + 1] = c.g;
          out[3 * x + 2] = c.r;
        }
      } else {
        const uint8_t* p = in + x * (bits / 8);
        out[3 * x] = p[0];
        out[3 * x + 1] = p[1];
        out[3 * x + 2] = p[2];
      }
    }
  }
  return true;
}

bool ReadBmpFile(const std::string& path, Raster& raster, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return Refuse("cannot open the file", error);
  // Bitmaps are read whole; the size check keeps a stray huge file out of memory.
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  if (length < 0 || length > kMaxBmpPixels * 4 + 4096) return Refuse("BMP too large", error);
  file.seekg(0);
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  if (!file.read(reinterpret_cast<char*>(bytes.data()), length))
    return Refuse("cannot read the file", error);
  return DecodeBmp(bytes.data(), bytes.size(), raster, error);
}
