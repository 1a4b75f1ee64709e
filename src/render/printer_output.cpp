#include "render/printer_output.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "frame/configuration.h"
#include "frame/event_log.h"
#include "render/bitmap_band.h"
#include "render/bmp_reader.h"

namespace {

// IPP error statuses start at 0x0400 (client errors); below are successes.
constexpr int kFirstPrinterErrorCode = 0x0400;

void LogInfo(const std::string& line) {
  if (LogEnabled(1)) WriteLog(line);
}

TextAlign AlignOf(int position) {
  return position == 1 ? TextAlign::Center : position == 2 ? TextAlign::Right : TextAlign::Left;
}

// Reads a band bitmap that exists; a damaged one is drawn as its text instead.
bool LoadBandBitmap(const std::string& path, Raster& bitmap) {
  std::error_code ignored;
  if (path.empty() || !std::filesystem::is_regular_file(path, ignored)) return false;
  std::string error;
  if (ReadBmpFile(path, bitmap, &error)) return true;
  WriteLog("WARNING, " + path + " not drawn: " + error);
  return false;
}

// The header (top) or footer band of the film page: the bitmap when there is
// one, else the text. Returns the status of the bitmap's draw, 0 for text.
int DrawFilmBand(PrinterDevice& device, const PrinterPage& page, const std::string& bitmapPath,
                 const std::string& text, int position, bool top) {
  const char* name = top ? "header" : "footer";
  Raster bitmap;
  if (LoadBandBitmap(bitmapPath, bitmap)) {
    const BandPlacement band =
        PlaceBandBitmap(bitmap.width, bitmap.height, page.width, page.height, position);
    const int y = top ? 0 : page.height - band.height;
    LogInfo(std::string("INFO, Printing ") + name + ".bmp at: xf=" + std::to_string(band.x) +
            ", yf=" + std::to_string(y));
    return device.StretchRasterToDevice(band.x, y, band.width, band.height, bitmap);
  }
  const DeviceRect rect = top ? DeviceRect{0, 0, page.width, page.height / 20}
                              : DeviceRect{0, page.height - page.height / 20, page.width,
                                           page.height};
  device.DrawText(text, rect, AlignOf(position), page.hdpi / 5);
  LogInfo(std::string(top ? "INFO, Printing Header: " : "INFO, Printing Footer: ") + text);
  return 0;
}

// Ends the page and hands the document over; false, with the line, when refused.
bool FinishDocument(PrinterDevice& device) {
  if (!device.EndPage()) {
    WriteLog("ERROR, EndPage");
    return false;
  }
  if (!device.EndDocument()) {
    WriteLog("ERROR, EndDoc");
    return false;
  }
  return true;
}

} // namespace

std::string PaperName(int32_t paperCode) {
  switch (paperCode) {
  case 1: return "LETTER";
  case 3: return "TABLOID";
  case 5: return "LEGAL";
  case 8: return "A3";
  case 9: return "A4";
  case 11: return "A5";
  case 16: return "10X14";
  case 17: return "11X17";
  case 44: return "9X11";
  case 45: return "10X11";
  case 46: return "15X11";
  case 63: return "A3+";
  case 70: return "A6";
  case 90: return "12X11";
  case 215: {
    const auto table = CurrentFilm2paper();
    return "DEFINED: " + std::to_string(table->DefWidth) + "mm x " +
           std::to_string(table->DefHeight) + "mm";
  }
  default: return std::to_string(paperCode);
  }
}

bool SetPrinter(PrinterDevice& device, const PrintJobSettings& settings) {
  WriteLog("INFO, Setting Paper Size to: " + PaperName(settings.paperCode));
  if (settings.colorCode != -1)
    WriteLog("INFO, Setting Color Type to " + std::to_string(settings.colorCode));
  return device.Setup(settings);
}

std::unique_ptr<PrinterDevice> OpenFilmPrinter(const std::string& printerName,
                                               const PrintJobSettings& settings, int* status) {
  *status = kStatusProcessingFailure;
  PrinterError error;
  std::unique_ptr<PrinterDevice> device = OpenPrinterDevice(printerName, error);
  if (!device) {
    WriteLog("ERROR, FilmBox::Print::CreateDC failed, Printer Name=" + printerName +
             ", status=" + std::to_string(error.code) + ", " + error.text);
    // Only an error of the printing system is answered as it is; anything
    // that would read as success or a warning becomes a processing failure.
    if (error.code >= kFirstPrinterErrorCode && error.code <= 0xffff) *status = error.code;
    return nullptr;
  }
  try {
    if (SetPrinter(*device, settings)) return device;
    WriteLog("ERROR, FilmBox::Print::SetPrinter failed, Printer Name=" + printerName);
  } catch (const std::exception& e) {
    WriteLog(std::string("ERROR, FilmBox::Print::SetPrinter failed, ") + e.what());
  }
  return nullptr;
}

int PrintFilmPage(PrinterDevice& device, const Raster& film, const std::string& documentName,
                  const HeaderFooter* headers) {
  const PrinterPage page = device.Page();
  if (!device.StartDocument(documentName)) {
    WriteLog("ERROR, Couldn't StartDoc");
    return -1;
  }
  if (!device.StartPage()) {
    WriteLog("ERROR, Couldn't StartPage");
    return -1;
  }
  LogInfo("INFO, StartPage");

  // A page with a failed draw is not handed over: the film would be missing.
  int status = 0;
  auto keepFirstFailure = [&status](int drawStatus) {
    if (status == 0) status = drawStatus;
  };
  if (headers) {
    keepFirstFailure(DrawFilmBand(device, page, headers->headerBitmap, headers->header,
                                  headers->headerPos, true));
    keepFirstFailure(device.StretchRasterToDevice(0, page.height / 20, page.width,
                                                  page.height - page.height / 10, film));
    keepFirstFailure(DrawFilmBand(device, page, headers->footerBitmap, headers->footer,
                                  headers->footerPos, false));
  } else {
    LogInfo("INFO, Header is not enabled");
    keepFirstFailure(device.StretchRasterToDevice(0, 0, page.width, page.height, film));
    LogInfo("INFO, StretchDrawDIB status: " + std::to_string(status));
    LogInfo("INFO, Footer is not enabled");
  }
  if (status != 0) {
    WriteLog("ERROR, the page was not drawn, the job is cancelled");
    return status;
  }
  return FinishDocument(device) ? 0 : -1;
}

int PrintBitmap(PrinterDevice& device, const Raster& raster, const std::string& documentName,
                const std::string& header, const std::string& footer) {
  const PrinterPage page = device.Page();
  if (page.hdpi != 0 && page.vdpi != 0) {
    char size[64];
    std::snprintf(size, sizeof size, "%.1fx%.1f", double(page.width) / page.hdpi,
                  double(page.height) / page.vdpi);
    LogInfo(std::string("INFO, Page Size: ") + size);
  }
  LogInfo("INFO, Output Image: width=" + std::to_string(raster.width) +
          ", height=" + std::to_string(raster.height));
  LogInfo("INFO, Page Width=" + std::to_string(page.width) +
          ", Page Height=" + std::to_string(page.height) +
          ", Printer DPI=" + std::to_string(page.hdpi));
  LogInfo("INFO, Starting to print " + documentName);

  int status = -1;
  if (!raster.Empty() && device.StartDocument(documentName) && device.StartPage()) {
    const int W = page.width, H = page.height;
    device.DrawText(header, {0, 0, W, H / 20}, TextAlign::Center, page.hdpi / 6);
    // Fitted with its aspect ratio into the area between header and footer.
    const int64_t w = raster.width, h = raster.height, d = H - H / 10;
    if (W * h < w * d) {
      const int height = static_cast<int>(W * h / w);
      status = device.StretchRasterToDevice(0, H / 20 + static_cast<int>(d - height) / 2, W,
                                            height, raster);
    } else {
      const int width = static_cast<int>(d * w / h);
      status = device.StretchRasterToDevice((W - width) / 2, H / 20, width,
                                            static_cast<int>(d), raster);
    }
    Raster bitmap;
    if (LoadBandBitmap(footer, bitmap)) {
      const BandPlacement band = PlaceBandBitmap(bitmap.width, bitmap.height, W, H, 1);
      const int footerStatus = device.StretchRasterToDevice(band.x, H - band.height, band.width,
                                                            band.height, bitmap);
      if (status == 0) status = footerStatus;
    } else {
      device.DrawText(footer, {0, H - H / 20, W, H}, TextAlign::Center, page.hdpi / 6);
    }
    if (status == 0 && !FinishDocument(device)) status = -1;
  }
  LogInfo("INFO, Finished printing " + documentName);
  return status;
}

std::optional<int> PrintTestPage(const std::string& printerName, const Raster& image,
                                 const std::string& documentName, const std::string& header,
                                 const std::string& footer) {
  PrinterError error;
  std::unique_ptr<PrinterDevice> device = OpenPrinterDevice(printerName, error);
  if (!device) {
    WriteLog("ERROR, Test Print, CreateDC failed, Printer Name=" + printerName +
             ", status=" + std::to_string(error.code) + ", " + error.text);
    return std::nullopt;
  }
  PrintJobSettings settings;
  settings.paperCode = 0;
  settings.colorCode = 0;
  if (!SetPrinter(*device, settings)) return std::nullopt;
  return PrintBitmap(*device, image, documentName, header, footer);
}
