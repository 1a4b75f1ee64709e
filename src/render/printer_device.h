#pragma once
// The printer behind FilmBox::Print and the test print: a named print queue set
// up for one job (orientation, paper, colour, copies) that reports its
// printable area in device pixels and takes one document of pages, on which
// rasters are stretched into device rectangles and single lines of text drawn.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "render/raster.h"

// What a job asks of the printer.
struct PrintJobSettings {
  int orientation = 1;   // 1 portrait, 2 landscape
  int32_t paperCode = 0; // DMPAPER numbers; 0 leaves the queue's paper
  // The size of paper code 215 (the DEFINED paper), in millimetres.
  int32_t customWidthMm = 0;
  int32_t customHeightMm = 0;
  int colorCode = 1; // 1 monochrome, 2 colour, any other leaves the queue's setting
  int16_t copies = 1;
};

// The printable area in device pixels and the device resolution.
struct PrinterPage {
  int width = 0;
  int height = 0;
  int hdpi = 0;
  int vdpi = 0;
};

// A rectangle in device pixels of the printable area.
struct DeviceRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

enum class TextAlign { Left = 0, Center = 1, Right = 2 };

// One open queue. A job created and not finished is cancelled when the device
// is destroyed.
class PrinterDevice {
public:
  virtual ~PrinterDevice() = default;
  // Applies the settings for the job; false once the failing step has logged why.
  virtual bool Setup(const PrintJobSettings& settings) = 0;
  // The page as the settings made it.
  virtual PrinterPage Page() const = 0;
  // Create the job named documentName, then its one page; false when refused.
  virtual bool StartDocument(const std::string& documentName) = 0;
  virtual bool StartPage() = 0;
  // Stretches raster onto the device rectangle from (x, y) of the given size.
  // 0, or the error code of the failed draw.
  virtual int StretchRasterToDevice(int x, int y, int width, int height,
                                    const Raster& raster) = 0;
  // One line of 8-bit text, vertically centred in rect and aligned across it,
  // in a sans-serif face whose line is fontHeight device pixels high.
  virtual void DrawText(const std::string& text, const DeviceRect& rect, TextAlign align,
                        int fontHeight) = 0;
  // End the page, then hand the document to the spooler; false when refused.
  virtual bool EndPage() = 0;
  virtual bool EndDocument() = 0;
};

// Why a queue could not be opened: the printing system's error code and text.
struct PrinterError {
  int code = 0;
  std::string text;
};

// Opens the queue printerName ("queue" or "queue/instance"). Nothing, with the
// reason in error, when there is no such queue or the spooler cannot be reached.
std::unique_ptr<PrinterDevice> OpenPrinterDevice(const std::string& printerName,
                                                 PrinterError& error);

// Replaces the CUPS queues with opener (tests); nullptr restores them.
using PrinterDeviceOpener =
    std::function<std::unique_ptr<PrinterDevice>(const std::string& printerName,
                                                 PrinterError& error)>;
void SetPrinterDeviceOpenerForTesting(PrinterDeviceOpener opener);
