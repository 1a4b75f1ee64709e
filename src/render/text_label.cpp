#include "render/text_label.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

// Cairo's toy font layer shares one font cache between threads; labels are rare,
// so one lock keeps it simple.
std::mutex CairoTextMutex;

} // namespace

void DrawTopLabel(Raster& raster, const std::string& text, const std::string& face, int points) {
  if (raster.Empty() || text.empty() || points < 1) return;
  const double pixelSize = points * 96.0 / 72.0;
  std::lock_guard lock(CairoTextMutex);

  cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(probe);
  cairo_select_font_face(cr, face.c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, pixelSize);
  cairo_font_extents_t font;
  cairo_text_extents_t extents;
  cairo_font_extents(cr, &font);
  cairo_text_extents(cr, text.c_str(), &extents);
  cairo_destroy(cr);
  cairo_surface_destroy(probe);

  const int boxWidth = std::min(raster.width, static_cast<int>(std::ceil(extents.x_advance)));
  const int boxHeight = std::min(raster.height, static_cast<int>(std::ceil(font.height)));
  if (boxWidth < 1 || boxHeight < 1) return;

  // The text's coverage on a black box is the grey value of the label.
  cairo_surface_t* box = cairo_image_surface_create(CAIRO_FORMAT_A8, boxWidth, boxHeight);
  cr = cairo_create(box);
  cairo_select_font_face(cr, face.c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, pixelSize);
  cairo_move_to(cr, 0, font.ascent);
  cairo_show_text(cr, text.c_str());
  cairo_surface_flush(box);

  const uint8_t* coverage = cairo_image_surface_get_data(box);
  const int coverageStride = cairo_image_surface_get_stride(box);
  const int x0 = (raster.width - boxWidth) / 2;
  for (int y = 0; y < boxHeight; ++y) {
    const uint8_t* in = coverage + y * coverageStride;
    uint8_t* out = raster.Row(y) + x0 * raster.BytesPerPixel();
    if (!raster.color) {
      std::copy_n(in, boxWidth, out);
      continue;
    }
    for (int x = 0; x < boxWidth; ++x, out += 3) out[0] = out[1] = out[2] = in[x];
  }
  cairo_destroy(cr);
  cairo_surface_destroy(box);
}
