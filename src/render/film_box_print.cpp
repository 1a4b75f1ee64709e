// FilmBox::Print: the one entry point that turns a film box into output.
#include <exception>
#include <string>
#include <utility>

#include "frame/configuration.h"
#include "frame/date_time.h"
#include "frame/event_log.h"
#include "frame/print_counter.h"
#include "frame/program_folder.h"
#include "print/film_box.h"
#include "render/composition.h"
#include "render/film_file.h"
#include "render/print_job.h"
#include "render/printer_output.h"

namespace {

void LogInfo(const std::string& line) {
  if (LogEnabled(1)) WriteLog(line);
}

int32_t PaperCode(const FilmBox& filmBox) {
  switch (filmBox.PaperChoice) {
  case 0: return PaperForFilmSize(filmBox.FilmSizeID);
  case 1: return 9;
  case 2: return 1;
  case 3: return 8;
  case 4: return 3;
  case 5: return 5;
  case 6: return 11;
  case 7: return 70;
  case 8: return 63;
  default: return 0;
  }
}

int ColorCode(const FilmBox& filmBox) {
  switch (filmBox.ColorPrinting) {
  case 0: return filmBox.Color ? 2 : 1;
  case 1: return 2;
  case 3: return -1;
  default: return 1; // 2 BLACK&WHITE, and numbers no rule dialog offers
  }
}

PrintJobSettings JobSettings(const FilmBox& filmBox) {
  PrintJobSettings settings;
  settings.orientation = filmBox.FilmOrientation == "LANDSCAPE" ? 2 : 1;
  settings.paperCode = PaperCode(filmBox);
  settings.colorCode = ColorCode(filmBox);
  settings.copies = static_cast<int16_t>(filmBox.Copies);
  const std::shared_ptr<const Film2paper> paper = CurrentFilm2paper();
  settings.customWidthMm = paper->DefWidth;
  settings.customHeightMm = paper->DefHeight;
  return settings;
}

} // namespace

int FilmBox::Print(const std::string& destination) {
  if (destination == "DICOM") return 0; // stored as Stored Print objects instead
  const std::string serial = "S#" + std::to_string(SerialNumber);
  LogInfo("INFO, Starting Printing Process, Matrix: " + std::to_string(Columns) + ", " +
          std::to_string(Rows) + ", to " + destination);
  const PrintJobSettings settings = JobSettings(*this);
  const std::shared_ptr<const PrintConfiguration> config = CurrentConfiguration();
  const bool toFile = IsFileDestination(destination);

  FilmPage page;
  std::unique_ptr<PrinterDevice> printer;
  if (toFile) {
    page = FilePageGeometry(*this);
  } else {
    int status = kStatusProcessingFailure;
    printer = OpenFilmPrinter(destination, settings, &status);
    if (!printer) return status;
    const PrinterPage printable = printer->Page();
    page = {printable.width, printable.height, printable.hdpi, printable.vdpi};
    if (page.hdpi == 0 || page.vdpi == 0) {
      WriteLog("ERROR, Getting Device Capabilities: " + std::to_string(page.hdpi) + ", " +
               std::to_string(page.vdpi));
      return kStatusProcessingFailure;
    }
  }

  FilmComposition composition;
  ComputeComposition(*this, destination, page, config->EnableHeaders, composition);
  if (composition.width < 1 || composition.height < 1) {
    WriteLog("ERROR, " + serial + ", no room for the film on the page: " +
             std::to_string(composition.width) + "x" + std::to_string(composition.height));
    return kStatusProcessingFailure;
  }
  ResolveFilmColors(*this, composition);
  composition.color = settings.colorCode == 2;
  if (!CalibrationFilm) {
    try {
      if (!InitPrint(*this, composition, page.hdpi, page.vdpi)) {
        WriteLog("ERROR: Failed to Init and load matrix bitmaps");
        return kStatusProcessingFailure;
      }
    } catch (const std::exception& e) {
      WriteLog("ERROR, " + serial + ", Exception in function InitPrint: " + e.what());
      return kStatusProcessingFailure;
    }
    LogInfo("INFO, Printed Image size: width=" + std::to_string(composition.width) +
            ", height=" + std::to_string(composition.height) +
            ", Selected DPI=" + std::to_string(kCompositionDpi));
  }

  int status = -1;
  try {
    Raster film = !CalibrationFilm ? NewCompositionRaster(*this, composition)
                  : composition.color
                      ? NewColorRaster(composition.width, composition.height, composition.border)
                      : NewGreyRaster(composition.width, composition.height, composition.border);
    LogInfo("INFO, " + serial +
            (composition.color ? ", Printing RGB Image" : ", Printing Grayscale Image"));
    IncrementPrintCount();
    if (CalibrationFilm) {
      DrawCalibrationFilm(*this, composition, film);
    } else {
      DrawImage(*this, film, composition.width, composition.height, Columns, Rows);
      LogInfo("INFO, " + serial + ", Created Raster Image");
    }
    LogInfo("INFO, hdpi=" + std::to_string(page.hdpi) + ", vdpi=" + std::to_string(page.vdpi) +
            ", PageWidth=" + std::to_string(page.width) +
            ", PageHeight=" + std::to_string(page.height));
    const int job = AdvancePrintJobNumber();

    if (toFile) {
      // With headers the file gets a header strip above the film.
      const Raster output = config->EnableHeaders
                                ? AddHeaderStrip(film, composition.border, page, config->HeaderPos)
                                : std::move(film);
      status = SaveFilmFile(*this, output, CallingAETitle, destination, job) ? 0 : -1;
    } else {
      const std::string documentName =
          "Corvanel_" + FormatDateTime("mmddhhnnss") + "_" + std::to_string(job);
      const HeaderFooter headers{config->Header,
                                 config->Footer,
                                 config->HeaderPos,
                                 config->FooterPos,
                                 ProgramFolder() + "header.bmp",
                                 ProgramFolder() + "footer.bmp"};
      status = PrintFilmPage(*printer, film, documentName,
                             config->EnableHeaders ? &headers : nullptr);
    }
  } catch (const std::exception& e) {
    WriteLog("ERROR, " + serial + ", Exception in FilmBox::Print: " + e.what());
  }

  if (status != 0) WriteLog("ERROR: Status = " + std::to_string(status));
  LogInfo("INFO, Image printed OK, returning back");
  // A film that did not reach its file, the PACS or the spooler is a failed print.
  return status != 0 ? kStatusProcessingFailure : 0;
}
