#pragma once
// Pixel operations applied to each image box on its way to the page: fitting
// into the cell, the tone table of the rule's gamma and contrast, saturation of
// colour images, and the Sharpen and Smooth filters. Plain functions, no state.
#include <array>
#include <cstddef>
#include <cstdint>

#include "render/raster.h"

// 256 entries, each in 0..255, indexed by an 8-bit input value.
using ToneTable = std::array<int32_t, 256>;

// Gamma g (0.1 to 2.9) then the contrast stretch of contrast value c (-10 to +10).
// The stretch divides by 256, so gamma 1.0 with contrast 0 maps 255 to 254.
ToneTable BuildToneTable(float gamma, int contrast);

// Fits src (cols x rows, 1 or 3 bytes per pixel R,G,B) centred into buf (w x h,
// the same layout) keeping the aspect ratio, with bilinear resampling. Margins,
// and the first and last row and column of the image area, are set to fill; the
// caller prefills buf with fill as well.
void FitResample(const uint8_t* src, int cols, int rows, uint8_t* buf, int w, int h, bool colour,
                 uint8_t fill);

// Copies a work buffer of raster's size (grey, or R,G,B per pixel) into the
// raster through the tone table.
void ApplyToneTable(const uint8_t* buf, const ToneTable& table, Raster& raster);

// Adds 20 x s to the HSL saturation of every pixel of a colour raster. The
// stored components B, G, R take the roles of the first, second and third one.
void AdjustSaturation(Raster& raster, int saturation);
// The same for count pixels of one row.
void AdjustSaturationRow(uint8_t* pixels, size_t count, int saturation);

// 3 x 3 filters over every interior pixel, per channel; the outer border stays.
void Sharpen(Raster& raster);
void Smooth(Raster& raster);

// One interior row of Sharpen or Smooth: out gets mid filtered, from the
// unfiltered rows up and down around it; its first and last pixel are copied
// unchanged. Rows are width pixels of bpp (1 or 3) bytes; out is a row of its own.
void SharpenRow(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out,
                int width, int bpp);
void SmoothRow(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out,
               int width, int bpp);
