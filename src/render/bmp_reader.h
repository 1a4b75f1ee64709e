#pragma once
// A small reader for the bitmaps an operator drops into the program folder
// (header.bmp, footer.bmp, smpte.bmp): uncompressed 8-bit palette, 24-bit and
// 32-bit Windows bitmaps, bottom-up or top-down. Every size and offset is checked
// against the file before it is used.
#include <cstddef>
#include <cstdint>
#include <string>

#include "render/raster.h"

// Bitmaps above this many pixels are refused (about 20000 x 20000).
inline constexpr int64_t kMaxBmpPixels = 400'000'000;

// An 8-bit bitmap whose palette is all grey becomes a grey raster, any other a
// colour raster. False with a reason in error when the data is no such bitmap.
bool DecodeBmp(const uint8_t* data, size_t size, Raster& raster, std::string* error = nullptr);
bool ReadBmpFile(const std::string& path, Raster& raster, std::string* error = nullptr);
