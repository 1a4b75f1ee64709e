#include "render/cell_drawing.h"

#include <gtest/gtest.h>

#include <vector>

#include "print/image_box.h"
#include "render/image_adjustments.h"
#include "render_fixture.h"

namespace {

// The cell rendered into a raster of its own, step by step, and copied onto
// the film with BlitRaster: what DrawCell must give without that raster.
void DrawCellOnItsOwnRaster(const ImageBox& box, int w, int h, const ToneTable& table,
                            const CellLook& look, Raster& target, int x, int y) {
  std::vector<uint8_t> buf(size_t(w) * h * (box.IsRGB ? 3 : 1), look.fill);
  FitResample(box.Pixels.data(), box.Columns, box.Rows, buf.data(), w, h, box.IsRGB, look.fill);
  Raster cell = box.IsRGB ? NewColorRaster(w, h, kBlack) : NewGreyRaster(w, h, kBlack);
  ApplyToneTable(buf.data(), table, cell);
  if (box.IsRGB && look.saturation != 0) AdjustSaturation(cell, look.saturation);
  if (look.filter == 1) Sharpen(cell);
  if (look.filter == 2) Smooth(cell);
  BlitRaster(target, x, y, cell);
}

TEST(DrawCell, GivesThePixelsOfTheCellRasterCopiedWithBlitRaster) {
  const ToneTable table = BuildToneTable(0.8f, 3);
  uint8_t lut[256];
  for (int i = 0; i < 256; ++i) lut[i] = static_cast<uint8_t>(table[i]);
  struct Size {
    int columns, rows, w, h;
  };
  // Enlarged, reduced, and cells too small for the filter.
  const Size sizes[] = {{40, 30, 97, 61}, {200, 300, 60, 90}, {5, 5, 2, 2}, {3, 7, 1, 5}};
  const int W = 150, H = 120;
  struct Place {
    int x, y;
  };
  // Inside; over the top left (row 0 and column 0 are never written); over
  // the bottom right edge; wholly outside.
  const Place places[] = {{1, 1}, {-20, -7}, {0, 0}, {W - 50, H - 30}, {W + 5, 3}};
  for (const Size& size : sizes)
    for (const bool rgbImage : {false, true})
      for (const bool rgbFilm : {false, true})
        for (const int filter : {0, 1, 2})
          for (const int saturation : {0, 3})
            for (const uint8_t fill : {uint8_t(0), uint8_t(255)})
              for (const Place& place : places) {
                SCOPED_TRACE(testing::Message()
                             << size.columns << "x" << size.rows << " into " << size.w << "x"
                             << size.h << " rgb " << rgbImage << rgbFilm << " filter " << filter
                             << " saturation " << saturation << " fill " << int(fill) << " at "
                             << place.x << "," << place.y);
                const auto box = render_test::Image(size.columns, size.rows, rgbImage);
                const CellLook look{lut, saturation, filter, fill};
                const RGBColor border{90, 140, 200};
                Raster expected = rgbFilm ? NewColorRaster(W, H, border) : NewGreyRaster(W, H, border);
                Raster drawn = expected;
                DrawCellOnItsOwnRaster(*box, size.w, size.h, table, look, expected, place.x, place.y);
                DrawCell(*box, size.w, size.h, look, drawn, place.x, place.y);
                ASSERT_EQ(drawn.pixels, expected.pixels);
              }
}

} // namespace
