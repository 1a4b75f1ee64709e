#pragma once
// Draws one image box's cell straight onto the film raster, a row at a time:
// each fitted and resampled row goes through the tone table and the saturation
// adjustment, then through the 3 x 3 filter (from the three unfiltered rows
// around it, kept in a small ring), and only what lands inside the film is
// stored. The film gets the pixels that rendering the cell into a raster of its
// own and copying that with BlitRaster would give, without a cell-sized raster
// to fill and copy.
#include <cstdint>

#include "render/raster.h"

class ImageBox;

struct CellLook {
  const uint8_t* toneTable = nullptr; // 256 entries
  int saturation = 0;                 // colour images: AdjustSaturation's value, 0 for none
  int filter = 0;                     // 1 Sharpen, 2 Smooth, otherwise none
  uint8_t fill = 0;                   // margins before the tone table: 255 or 0
};

// Draws the box's pixels fitted into a width x height cell with its top left
// corner at (x, y) of target; like BlitRaster, only pixels with 0 < x < target
// width and 0 < y < target height are written, converted to target's format.
void DrawCell(const ImageBox& box, int width, int height, const CellLook& look, Raster& target,
              int x, int y);
