#pragma once
// The page and cell image of the rendering code: 8 bits per pixel grey with an
// identity palette (entry i is (i, i, i)), or 24 bits per pixel colour stored per
// pixel as B, G, R. Rows are addressed from the top and packed without padding.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/pixel_storage.h"

// A 24-bit RGB colour value.
struct RGBColor {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const RGBColor&) const = default;
};

inline constexpr RGBColor kWhite{255, 255, 255};
inline constexpr RGBColor kBlack{0, 0, 0};

struct Raster {
  int width = 0;
  int height = 0;
  bool color = false;
  PixelBuffer pixels;

  bool Empty() const { return width <= 0 || height <= 0; }
  int BytesPerPixel() const { return color ? 3 : 1; }
  int Stride() const { return width * BytesPerPixel(); }
  uint8_t* Row(int y) { return pixels.data() + static_cast<size_t>(y) * Stride(); }
  const uint8_t* Row(int y) const { return pixels.data() + static_cast<size_t>(y) * Stride(); }
};

// Grey value of a colour on a grey raster: the palette index of (n, n, n) is n;
// any other colour takes its channel mean.
uint8_t GreyOf(RGBColor colour);

// Creates a raster of the given size filled with the colour. Sizes below 1 give
// an empty raster.
Raster NewGreyRaster(int width, int height, RGBColor colour);
Raster NewColorRaster(int width, int height, RGBColor colour);

// Creates a raster of the given size whose pixels are not set: the caller
// writes every one. Sizes below 1 give an empty raster.
Raster NewUnsetRaster(int width, int height, bool color);

// Sets count pixels from the start of a row of raster to the colour.
void FillPixels(Raster& raster, uint8_t* start, int count, RGBColor colour);

// Copies source into target at (x, y). Only target pixels with 0 < x < width and
// 0 < y < height are written (row 0 and column 0 are never written). Grey into
// colour fills all three channels; colour into grey writes (R + G + B) div 3.
void BlitRaster(Raster& target, int x, int y, const Raster& source);

// Copies count pixels of a row in one format to a row in the other or the same
// format, converting as BlitRaster does.
void CopyPixels(const uint8_t* in, bool inColour, uint8_t* out, bool outColour, int count);

// Draws source scaled (nearest neighbour) into the rectangle of target from
// (x, y) with the given width and height, clipped at target's edges.
void StretchRaster(Raster& target, int x, int y, int width, int height, const Raster& source);
