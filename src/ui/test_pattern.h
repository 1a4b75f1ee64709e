#pragma once
// The page of the test print: the built-in grey test pattern (or the
// operator's smpte.bmp) passed through the tone table of the chosen gamma and
// contrast step.
#include <string>

#include "render/image_adjustments.h"
#include "render/raster.h"

// The contrast steps of the test print, "+5" to "-5", by list position.
inline constexpr int kTestContrastSteps = 11;
inline constexpr int kTestContrastZero = 5; // position of "0"

// Draws the 6 x 6 cell pattern (line pairs, ramps, sixteen labelled grey
// patches, black and white cells with near-black and near-white squares) on a
// grey raster, cells of n = (min(w, h) - 1) / 6 pixels, centred horizontally.
// Does nothing on a colour raster or one too small for n >= 1.
void DrawTestPattern(Raster &raster);

// T[i] = trunc((i / 255)^(1 / gamma) * 255 + 0.05), then stretched by the
// (hi, lo) curve of the contrast step at contrastPosition (0 is "+5", the
// steepest; 10 is "-5", the flattest): trunc(lo + T[i] * (hi - lo) / 256),
// clamped to 0..255. A position outside the list takes the curve of "0".
ToneTable TestPrintToneTable(double gamma, int contrastPosition);

// The image to print: smptePath loaded when that file exists and reads as a
// bitmap, otherwise a white 1000 x 1000 grey raster with the test pattern;
// every pixel byte (each colour channel too) then replaced by table.
Raster BuildTestImage(const std::string &smptePath, const ToneTable &table);
