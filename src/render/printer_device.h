#pragma once
// The printer behind FilmBox::Print: a named print queue set up for one job
// (orientation, paper, colour, copies) that reports its printable page and
// spools one composed film onto it with the configured header and footer.
#include <cstdint>
#include <memory>
#include <string>

#include "render/raster.h"

class FilmBox;

// What the film box asks of the printer.
struct PrintJobSettings {
  int orientation = 1; // 1 portrait, 2 landscape
  int32_t paperCode = 0; // Windows DMPAPER numbers; 215 is DefWidth x DefHeight mm
  int colorCode = 1;   // 1 monochrome, 2 colour, -1 the queue's own setting
  int16_t copies = 1;
};

// The printable area in device pixels and the device resolution.
struct PrinterPage {
  int width = 0;
  int height = 0;
  int hdpi = 0;
  int vdpi = 0;
};

class PrinterDevice {
public:
  virtual ~PrinterDevice() = default;
  virtual PrinterPage Page() const = 0;
  // Spools film (the composition raster) as one page named documentName, with
  // the film box's header and footer when enableHeaders is set. Returns 0 when
  // the page was printed, otherwise the status of the failed step.
  virtual int PrintFilm(const FilmBox& filmBox, const Raster& film, const std::string& documentName,
                        bool enableHeaders) = 0;
};

// Opens printerName for one job with settings. On failure writes the log line
// and returns nothing, with the status of FilmBox::Print in *status.
std::unique_ptr<PrinterDevice> OpenPrinterDevice(const std::string& printerName,
                                                 const PrintJobSettings& settings, int* status);
