#pragma once
// Text drawn into rasters with Cairo; fontconfig resolves face names ("Arial"
// becomes Liberation Sans where that is what is installed).
#include <string>

#include "render/raster.h"

// Draws text white on an opaque black box whose top edge is at y = 0, centred
// horizontally, clipped to the raster. The size is in points of a 96 pixel per
// inch canvas, as a bitmap canvas measures them.
void DrawTopLabel(Raster& raster, const std::string& text, const std::string& face, int points);
