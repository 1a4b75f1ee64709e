#include "render/cups_printer.h"

#include <cups/cups.h>

#include <array>
#include <cstdio>
#include <utility>

#include "frame/event_log.h"
#include "render/pdf_page.h"
#include "render/printer_output.h"

namespace {

void LogInfo(const std::string& line) {
  if (LogEnabled(1)) WriteLog(line);
}

constexpr int kDefaultDpi = 300;
constexpr double kHundredthsMmPerInch = 2540.0;

constexpr std::array<std::pair<int32_t, const char*>, 8> kMediaNames{{
    {9, "iso_a4_210x297mm"},
    {1, "na_letter_8.5x11in"},
    {8, "iso_a3_297x420mm"},
    {3, "na_ledger_11x17in"},
    {5, "na_legal_8.5x14in"},
    {11, "iso_a5_148x210mm"},
    {70, "iso_a6_105x148mm"},
    {63, "iso_a3-extra_322x445mm"},
}};

// The log name of the media the queue will use.
std::string MediaLogName(const std::string& media, int32_t paperCode, bool requested) {
  if (requested) return PaperName(paperCode);
  for (const auto& [code, name] : kMediaNames)
    if (media == name) return PaperName(code);
  return media;
}

std::string LastCupsError() {
  const char* text = cupsLastErrorString();
  return std::to_string(static_cast<int>(cupsLastError())) + " " + (text ? text : "");
}

class CupsPrinter final : public PrinterDevice {
public:
  CupsPrinter(std::string name, cups_dest_t* dest) : name_(std::move(name)), dest_(dest) {}
  ~CupsPrinter() override {
    if (job_ > 0 && !submitted_) {
      if (cupsCancelDestJob(CUPS_HTTP_DEFAULT, dest_, job_) != IPP_STATUS_OK)
        WriteLog("WARNING, job " + std::to_string(job_) + " on " + name_ +
                 " not cancelled: " + LastCupsError());
    }
    cupsFreeOptions(numOptions_, options_);
    if (info_) cupsFreeDestInfo(info_);
    cupsFreeDests(1, dest_);
  }

  bool Setup(const PrintJobSettings& settings) override {
    info_ = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest_);
    if (!info_) {
      WriteLog("ERROR, OpenPrinter failed, " + LastCupsError());
      return false;
    }
    LogInfo("INFO, SetPrinter, OpenPrinter OK");
    return SetMedia(settings) && SetColor(settings.colorCode) && SetCopies(settings.copies) &&
           SetOrientation(settings.orientation);
  }

  PrinterPage Page() const override { return page_; }

  bool StartDocument(const std::string& documentName) override {
    documentName_ = documentName;
    if (cupsCreateDestJob(CUPS_HTTP_DEFAULT, dest_, info_, &job_, documentName.c_str(),
                          numOptions_, options_) != IPP_STATUS_OK) {
      WriteLog("ERROR, cupsCreateDestJob on " + name_ + ": " + LastCupsError());
      job_ = 0;
      return false;
    }
    return true;
  }

  bool StartPage() override {
    const double width = media_.width * 72 / kHundredthsMmPerInch;
    const double length = media_.length * 72 / kHundredthsMmPerInch;
    return landscape_ ? pdf_.Begin(length, width) : pdf_.Begin(width, length);
  }

  int StretchRasterToDevice(int x, int y, int width, int height, const Raster& raster) override {
    return pdf_.DrawRaster(PointX(x), PointY(y), width * 72.0 / page_.hdpi,
                           height * 72.0 / page_.vdpi, raster);
  }

  void DrawText(const std::string& text, const DeviceRect& rect, TextAlign align,
                int fontHeight) override {
    pdf_.DrawText(text, PointX(rect.left), PointY(rect.top),
                  (rect.right - rect.left) * 72.0 / page_.hdpi,
                  (rect.bottom - rect.top) * 72.0 / page_.vdpi, static_cast<int>(align),
                  fontHeight * 72.0 / page_.vdpi);
  }

  bool EndPage() override { return pdf_.Finish(); }

  bool EndDocument() override {
    if (job_ <= 0) return false;
    if (cupsStartDestDocument(CUPS_HTTP_DEFAULT, dest_, info_, job_, documentName_.c_str(),
                              CUPS_FORMAT_PDF, 0, nullptr, 1) != HTTP_STATUS_CONTINUE) {
      WriteLog("ERROR, cupsStartDestDocument on " + name_ + ": " + LastCupsError());
      return false;
    }
    const std::string& pdf = pdf_.Document();
    const http_status_t written = cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.data(), pdf.size());
    // Finishing also reads the answer of a refused write.
    const ipp_status_t finished = cupsFinishDestDocument(CUPS_HTTP_DEFAULT, dest_, info_);
    if (written != HTTP_STATUS_CONTINUE || finished != IPP_STATUS_OK) {
      WriteLog("ERROR, cupsFinishDestDocument on " + name_ + ": " + LastCupsError());
      return false;
    }
    submitted_ = true;
    LogInfo("INFO, Job " + std::to_string(job_) + " on " + name_ + " accepted, " +
            std::to_string(pdf.size()) + " bytes");
    return true;
  }

private:
  void AddOption(const char* option, const std::string& value) {
    numOptions_ = cupsAddOption(option, value.c_str(), numOptions_, &options_);
  }
  bool Supported(const char* option, const std::string& value) {
    return cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest_, info_, option, value.c_str()) != 0;
  }
  // The queue's default of an option as text, or "unknown".
  std::string DefaultOf(const char* option) {
    ipp_attribute_t* attr = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest_, info_, option);
    const char* value = attr ? ippGetString(attr, 0, nullptr) : nullptr;
    return value ? value : "unknown";
  }

  bool SetMedia(const PrintJobSettings& settings) {
    const std::string media =
        PwgMediaName(settings.paperCode, settings.customWidthMm, settings.customHeightMm);
    bool requested = !media.empty() && Supported(CUPS_MEDIA, media);
    if (!media.empty() && !requested)
      WriteLog("WARNING, " + name_ + " does not offer the paper " + media +
               ", the queue's default is used");
    if (!DefaultMedia()) {
      WriteLog("ERROR, DocumentProperties_2 Failed, no default media on " + name_ + ": " +
               LastCupsError());
      return false;
    }
    LogInfo("INFO, SetPrinter, DocumentProperties OK");
    if (requested && settings.paperCode == 215) {
      // Custom sizes are not listed by name: the size comes from the settings,
      // the margins from the default media.
      media_.width = settings.customWidthMm * 100;
      media_.length = settings.customHeightMm * 100;
      std::snprintf(media_.media, sizeof media_.media, "%s", media.c_str());
    } else if (requested && !cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, dest_, info_, media.c_str(),
                                                    CUPS_MEDIA_FLAGS_DEFAULT, &media_)) {
      WriteLog("ERROR, DocumentProperties_3 Failed, no size of " + media + " on " + name_ + ": " +
               LastCupsError());
      return false;
    }
    if (requested) AddOption(CUPS_MEDIA, media);
    LogInfo("INFO, After PaperSize: " + MediaLogName(media_.media, settings.paperCode, requested));
    return MeasurePage();
  }

  // The queue's media-default (cupsGetDestMediaDefault prefers the locale's paper).
  bool DefaultMedia() {
    const std::string media = DefaultOf(CUPS_MEDIA);
    return cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, dest_, info_, media.c_str(),
                                  CUPS_MEDIA_FLAGS_DEFAULT, &media_) ||
           cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest_, info_, CUPS_MEDIA_FLAGS_DEFAULT,
                                   &media_);
  }

  bool SetColor(int colorCode) {
    const std::string mode = PrintColorMode(colorCode);
    if (!mode.empty() && Supported(CUPS_PRINT_COLOR_MODE, mode)) {
      AddOption(CUPS_PRINT_COLOR_MODE, mode);
      LogInfo("INFO, After Color: " + mode);
      return true;
    }
    if (!mode.empty())
      WriteLog("WARNING, " + name_ + " does not offer the colour mode " + mode +
               ", the queue's default is used");
    LogInfo("INFO, After Color: " + DefaultOf(CUPS_PRINT_COLOR_MODE));
    return true;
  }

  bool SetCopies(int copies) {
    if (copies < 1) {
      WriteLog("WARNING, " + std::to_string(copies) + " copies asked, 1 printed");
      copies = 1;
    }
    if (copies > 1 && !Supported(CUPS_COPIES, std::to_string(copies))) {
      WriteLog("WARNING, " + name_ + " does not print " + std::to_string(copies) +
               " copies, 1 printed");
      copies = 1;
    }
    AddOption(CUPS_COPIES, std::to_string(copies));
    return true;
  }

  bool SetOrientation(int orientation) {
    landscape_ = orientation == 2;
    AddOption(CUPS_ORIENTATION, landscape_ ? CUPS_ORIENTATION_LANDSCAPE : CUPS_ORIENTATION_PORTRAIT);
    if (landscape_) {
      std::swap(page_.width, page_.height);
      std::swap(page_.hdpi, page_.vdpi);
    }
    return true;
  }

  // The printable area of the media at the queue's default resolution.
  bool MeasurePage() {
    page_.hdpi = page_.vdpi = kDefaultDpi;
    if (ipp_attribute_t* attr =
            cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest_, info_, "printer-resolution")) {
      ipp_res_t units = IPP_RES_PER_INCH;
      int yres = 0;
      const int xres = ippGetResolution(attr, 0, &yres, &units);
      const double scale = units == IPP_RES_PER_CM ? 2.54 : 1.0;
      if (xres > 0 && yres > 0) {
        page_.hdpi = static_cast<int>(xres * scale + 0.5);
        page_.vdpi = static_cast<int>(yres * scale + 0.5);
      }
    }
    page_.width = static_cast<int>(int64_t(media_.width - media_.left - media_.right) *
                                   page_.hdpi / kHundredthsMmPerInch);
    page_.height = static_cast<int>(int64_t(media_.length - media_.top - media_.bottom) *
                                    page_.vdpi / kHundredthsMmPerInch);
    return true;
  }

  // Device pixels to points on the PDF page, from the printable area's corner.
  double PointX(int x) const {
    const int margin = landscape_ ? media_.bottom : media_.left;
    return margin * 72 / kHundredthsMmPerInch + x * 72.0 / page_.hdpi;
  }
  double PointY(int y) const {
    const int margin = landscape_ ? media_.left : media_.top;
    return margin * 72 / kHundredthsMmPerInch + y * 72.0 / page_.vdpi;
  }

  std::string name_;
  cups_dest_t* dest_;
  cups_dinfo_t* info_ = nullptr;
  int numOptions_ = 0;
  cups_option_t* options_ = nullptr;
  cups_size_t media_{};
  bool landscape_ = false;
  PrinterPage page_;
  std::string documentName_;
  int job_ = 0;
  bool submitted_ = false;
  PdfPage pdf_;
};

} // namespace

std::string PwgMediaName(int32_t paperCode, int32_t customWidthMm, int32_t customHeightMm) {
  if (paperCode == 215) {
    if (customWidthMm < 1 || customHeightMm < 1) return "";
    const std::string size = std::to_string(customWidthMm) + "x" + std::to_string(customHeightMm);
    return "custom_" + size + "mm_" + size + "mm";
  }
  for (const auto& [code, name] : kMediaNames)
    if (code == paperCode) return name;
  return "";
}

std::string PrintColorMode(int colorCode) {
  return colorCode == 1 ? CUPS_PRINT_COLOR_MODE_MONOCHROME
         : colorCode == 2 ? CUPS_PRINT_COLOR_MODE_COLOR
                          : "";
}

std::unique_ptr<PrinterDevice> OpenCupsPrinter(const std::string& printerName,
                                               PrinterError& error) {
  const size_t slash = printerName.find('/');
  const std::string queue = printerName.substr(0, slash);
  const std::string instance = slash == std::string::npos ? "" : printerName.substr(slash + 1);
  if (queue.empty()) {
    error = {0, "no printer name"};
    return nullptr;
  }
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(),
                                       instance.empty() ? nullptr : instance.c_str());
  if (!dest) {
    const char* text = cupsLastErrorString();
    error = {static_cast<int>(cupsLastError()), text ? text : ""};
    return nullptr;
  }
  return std::make_unique<CupsPrinter>(printerName, dest);
}
