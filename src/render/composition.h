#pragma once
// Film composition: one film box becomes one page raster at 300 pixels per
// inch. Image boxes are laid out in a grid of Columns x Rows cells, fitted into
// their cell or printed at their requested physical size, passed through the
// rule's image adjustments and framed by the border and empty-image colours.
#include <string>

#include "render/raster.h"

class FilmBox;
class ImageBox;

inline constexpr int kCompositionDpi = 300;

// The page the film is composed for: device pixels and pixels per inch.
struct FilmPage {
  int width = 0;
  int height = 0;
  int hdpi = kCompositionDpi;
  int vdpi = kCompositionDpi;
};

// The values of one composition, kept while the film box is printed.
struct FilmComposition {
  int width = 0;  // W
  int height = 0; // H
  RGBColor border = kWhite;
  RGBColor empty = kWhite;
  bool color = false; // the composition raster is 24-bit colour
};

// Cell rasters above this many pixels (a true-size image far larger than any
// film) are refused instead of allocated.
inline constexpr long long kMaxCellPixels = 64LL * 1024 * 1024;

// "JPEG", "PDF" and "PACS" are written as files.
bool IsFileDestination(const std::string& destination);

// The file page: 799 x C by 800 x R pixels at 300 dpi, or the single image's
// Columns x Rows when a 1 x 1 film's image exceeds 799 x 800 in both directions.
FilmPage FilePageGeometry(const FilmBox& filmBox);

// W and H of the composition. With headers the usable page height loses a
// tenth, except for "JPEG" files.
void ComputeComposition(const FilmBox& filmBox, const std::string& destination,
                        const FilmPage& page, bool enableHeaders, FilmComposition& composition);

// "WHITE" or empty gives white, "BLACK" black, a decimal number n the grey
// min(n, 255), any other text black (grey 0).
RGBColor DensityColor(const std::string& density);

// Border and empty-image colours from the film box's densities, overridden by
// the rule's BorderColor and EmptyImageColor (1 white, 2 black). Logs the
// border colour.
void ResolveFilmColors(const FilmBox& filmBox, FilmComposition& composition);

// The rule's gamma (GammaIndex / 10 + 0.1) and contrast and saturation values
// (10 - index).
float RuleGamma(const FilmBox& filmBox);
int RuleValue(int index);

// Works out the cell of every image box with pixel data: its size, and its
// margins before the tone table. False, with the log line, on a bad gamma or an
// oversized true-size cell.
bool InitPrint(FilmBox& filmBox, const FilmComposition& composition, int hdpi, int vdpi);

// The composition raster that DrawImage (filmBox, raster, W, H, Columns, Rows)
// draws the film box on: W x H, colour or grey as the composition says, in the
// border colour wherever no image will be drawn. The pixels of the images are
// left for DrawImage, which writes each of them.
Raster NewCompositionRaster(const FilmBox& filmBox, const FilmComposition& composition);

// Draws every image box with a cell into raster (W x H) in a grid of C x R
// cells, through the rule's tone table, saturation and filter, with the scale
// bars of true-size images when the film box asks for them.
void DrawImage(FilmBox& filmBox, Raster& raster, int W, int H, int C, int R);

// Centimetre scale bars below and to the right of a true-size image, drawn by
// inverting the pixels beneath them.
void DrawScaleBar(const ImageBox& imageBox, Raster& raster, int x0, int y0, int cw, int ch);

// Gamma, contrast and label of calibration cell k (0 to 8, row by row) around
// the rule's gamma and contrast. A stepped gamma below 0.1 is raised to 0.1.
struct CalibrationStep {
  float gamma;
  int contrast;
  std::string label; // "gamma=0.8, contrast=-2"
};
CalibrationStep CalibrationCell(float gamma, int contrast, int k);

// The calibration film: the first image nine times with gamma steps of -0.2,
// 0, +0.2 across and contrast steps of -2, 0, +2 down, each labelled.
void DrawCalibrationFilm(FilmBox& filmBox, const FilmComposition& composition, Raster& raster);
