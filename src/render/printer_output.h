#pragma once
// Pages on a printer: the set-up of a queue for a job, the film page of
// FilmBox::Print with its header and footer, and the plain page of the test print.
#include <cstdint>
#include <optional>
#include <string>

#include "render/printer_device.h"
#include "render/raster.h"

// The DIMSE status of a film that could not be printed: 0x0213, processing failure.
inline constexpr int kStatusProcessingFailure = 531;

// The paper code as the log lines name it ("A4", "DEFINED: 350mm x 430mm", or
// the decimal number of a code without a name).
std::string PaperName(int32_t paperCode);

// Sets the device up for the job, with the log lines of each step. False when
// the queue refused it.
bool SetPrinter(PrinterDevice& device, const PrintJobSettings& settings);

// Opens and sets up the printer of a film. Nothing, with the log line, when it
// cannot be: *status is then the answer of FilmBox::Print, the printing
// system's error code of a queue that cannot be opened, else 531.
std::unique_ptr<PrinterDevice> OpenFilmPrinter(const std::string& printerName,
                                               const PrintJobSettings& settings, int* status);

// What prints around the film when headers are enabled.
struct HeaderFooter {
  std::string header;
  std::string footer;
  int headerPos = 1; // 0 left, 1 centre, 2 right
  int footerPos = 1;
  std::string headerBitmap; // paths of header.bmp and footer.bmp; used when present
  std::string footerBitmap;
};

// Prints the composed film as the document documentName on one page: the full
// printable area, or between a header and a footer band when headers is given.
// 0 when the spooler took the job, otherwise the status of the failed step.
int PrintFilmPage(PrinterDevice& device, const Raster& film, const std::string& documentName,
                  const HeaderFooter* headers);

// The test print's page: the raster fitted between a header text and a footer,
// which is a bitmap file or, when no such file exists, a text. 0 when the
// spooler took the job; -1 when the document or page could not be started.
int PrintBitmap(PrinterDevice& device, const Raster& raster, const std::string& documentName,
                const std::string& header, const std::string& footer);

// Opens printerName for a portrait page of one copy with the queue's paper and
// colour, and prints the test page on it. Nothing when the queue could not be
// opened or set up.
std::optional<int> PrintTestPage(const std::string& printerName, const Raster& image,
                                 const std::string& documentName, const std::string& header,
                                 const std::string& footer);
