#include "render/pdf_page.h"

#include <cairo-pdf.h>
#include <cairo.h>


namespace {

cairo_status_t AppendToDocument(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// The raster as a Cairo RGB24 image (Cairo writes an all-grey image to the PDF
// as DeviceGray).
cairo_surface_t* ImageOf(const Raster& raster) {
  cairo_surface_t* image =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, raster.width, raster.height);
  if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) return image;
  cairo_surface_flush(image);
  unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  for (int y = 0; y < raster.height; ++y) {
    const uint8_t* in = raster.Row(y);
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    if (raster.color) {
      for (int x = 0; x < raster.width; ++x, in += 3)
        out[x] = uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0];
    } else {
      for (int x = 0; x < raster.width; ++x) out[x] = uint32_t(in[x]) * 0x010101u;
    }
  }
  cairo_surface_mark_dirty(image);
  return image;
}

} // namespace

PdfPage::~PdfPage() { Close(); }

void PdfPage::Close() {
  if (cr_) cairo_destroy(cr_);
  if (surface_) cairo_surface_destroy(surface_);
  cr_ = nullptr;
  surface_ = nullptr;
}

bool PdfPage::Begin(double widthPoints, double heightPoints) {
  Close();
  document_.clear();
  surface_ = cairo_pdf_surface_create_for_stream(AppendToDocument, &document_, widthPoints,
                                                 heightPoints);
  cr_ = cairo_create(surface_);
  return cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
}

int PdfPage::DrawRaster(double x, double y, double width, double height, const Raster& raster) {
  if (!cr_) return CAIRO_STATUS_NULL_POINTER;
  if (raster.Empty() || width <= 0 || height <= 0) return CAIRO_STATUS_INVALID_SIZE;
  cairo_surface_t* image = ImageOf(raster);
  cairo_save(cr_);
  cairo_translate(cr_, x, y);
  cairo_scale(cr_, width / raster.width, height / raster.height);
  cairo_set_source_surface(cr_, image, 0, 0);
  cairo_rectangle(cr_, 0, 0, raster.width, raster.height);
  cairo_fill(cr_);
  cairo_restore(cr_);
  const cairo_status_t imageStatus = cairo_surface_status(image);
  cairo_surface_destroy(image);
  return imageStatus != CAIRO_STATUS_SUCCESS ? imageStatus : cairo_status(cr_);
}

void PdfPage::DrawText(const std::string& text, double x, double y, double width, double height,
                       int align, double lineHeight) {
  if (!cr_ || text.empty() || lineHeight <= 0 || width <= 0 || height <= 0) return;
  const std::string utf8 = Latin1ToUtf8(text);
  cairo_save(cr_);
  cairo_rectangle(cr_, x, y, width, height);
  cairo_clip(cr_);
  cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr_, lineHeight);
  cairo_font_extents_t font;
  cairo_font_extents(cr_, &font);
  if (font.ascent + font.descent > 0) {
    cairo_set_font_size(cr_, lineHeight * lineHeight / (font.ascent + font.descent));
    cairo_font_extents(cr_, &font);
  }
  cairo_text_extents_t extents;
  cairo_text_extents(cr_, utf8.c_str(), &extents);
  double left = x;
  if (align == 1) left = x + (width - extents.x_advance) / 2;
  if (align == 2) left = x + width - extents.x_advance;
  const double baseline = y + (height - (font.ascent + font.descent)) / 2 + font.ascent;
  cairo_set_source_rgb(cr_, 0, 0, 0);
  cairo_move_to(cr_, left, baseline);
  cairo_show_text(cr_, utf8.c_str());
  cairo_restore(cr_);
}

bool PdfPage::Finish() {
  if (!cr_) return false;
  cairo_show_page(cr_);
  const bool drawn = cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr_);
  cr_ = nullptr;
  cairo_surface_finish(surface_);
  const bool written = cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface_);
  surface_ = nullptr;
  if (!drawn || !written) document_.clear();
  return drawn && written && !document_.empty();
}

std::string Latin1ToUtf8(const std::string& text) {
  std::string utf8;
  utf8.reserve(text.size() * 2);
  for (const unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) {
      utf8 += ' ';
    } else if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xc0 | c >> 6);
      utf8 += static_cast<char>(0x80 | (c & 0x3f));
    }
  }
  return utf8;
}
