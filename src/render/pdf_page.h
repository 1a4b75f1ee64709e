#pragma once
// One page as a one-page PDF document built in memory with Cairo's PDF
// surface: rasters placed into rectangles and single lines of text, all in
// points (1/72 inch) from the top left corner of the page.
#include <string>

#include "render/raster.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

class PdfPage {
public:
  PdfPage() = default;
  ~PdfPage();
  PdfPage(const PdfPage&) = delete;
  PdfPage& operator=(const PdfPage&) = delete;

  // Starts the page; false when Cairo cannot make it.
  bool Begin(double widthPoints, double heightPoints);
  // Draws raster scaled into the rectangle. 0, or Cairo's error status.
  int DrawRaster(double x, double y, double width, double height, const Raster& raster);
  // Draws 8-bit (Latin-1) text in black on one line, vertically centred in the
  // rectangle, aligned left (0), centred (1) or right (2), clipped to it; the
  // font is sized so that its line (ascent + descent) is lineHeight high.
  void DrawText(const std::string& text, double x, double y, double width, double height,
                int align, double lineHeight);
  // Ends the page and the document; false when Cairo reported an error.
  bool Finish();
  // The PDF document once Finish succeeded.
  const std::string& Document() const { return document_; }

private:
  void Close();

  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  std::string document_;
};

// The text as UTF-8, with control characters shown as blanks.
std::string Latin1ToUtf8(const std::string& text);
