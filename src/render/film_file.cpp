#include "render/film_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "archive/send_to_pacs.h"
#include "frame/configuration.h"
#include "frame/date_time.h"
#include "frame/event_log.h"
#include "frame/program_folder.h"
#include "print/film_box.h"
#include "render/bitmap_band.h"
#include "render/bmp_reader.h"
#include "render/jpeg_encoder.h"
#include "render/pdf_writer.h"

std::string FileNamePart(const std::string& text) {
  // Longer than any valid Film Size ID or label (64 characters): the file name
  // stays within the file system's limit of 255 bytes.
  std::string part = text.substr(0, kMaxFileNamePart);
  for (char& c : part) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || c == ':' || u < 0x20 || u == 0x7f) c = '_';
  }
  if (!part.empty() && part[0] == '.') part[0] = '_';
  return part;
}

std::string FilmFileName(const std::string& timestamp, const std::string& filmSizeID,
                         const std::string& label, int jobNumber, const std::string& destination) {
  char job[16];
  std::snprintf(job, sizeof job, "%03d", jobNumber);
  return timestamp + "_" + FileNamePart(filmSizeID) + "_" + FileNamePart(label) + "_" + job +
         (destination == "PDF" ? ".pdf" : ".jpg");
}

Raster AddHeaderStrip(const Raster& film, RGBColor border, const FilmPage& page, int headerPos) {
  const int W = film.width, H = film.height;
  Raster strip = film.color ? NewColorRaster(W, H * 105 / 100, border)
                            : NewGreyRaster(W, H * 105 / 100, border);
  StretchRaster(strip, 0, H * 5 / 100, W, H, film);

  Raster header;
  const std::string path = ProgramFolder() + "header.bmp";
  std::string error;
  if (!std::filesystem::exists(path)) return strip;
  if (!ReadBmpFile(path, header, &error)) {
    WriteLog("WARNING, header.bmp not drawn: " + error);
    return strip;
  }
  const BandPlacement band =
      PlaceBandBitmap(header.width, header.height, page.width, page.height, headerPos);
  if (LogEnabled(1))
    WriteLog("INFO, Printing header.bmp at: xf=" + std::to_string(band.x) +
             ", yf=" + std::to_string(0));
  StretchRaster(strip, band.x, 0, band.width, band.height, header);
  return strip;
}

namespace {

// The encoder's buffer: grey rasters are already packed grey rows; colour rows
// are reordered from B, G, R to R, G, B.
std::vector<uint8_t> EncoderPixels(const Raster& raster) {
  if (!raster.color) return {};
  std::vector<uint8_t> pixels(raster.pixels.size());
  for (size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = raster.pixels[i + 2];
    pixels[i + 1] = raster.pixels[i + 1];
    pixels[i + 2] = raster.pixels[i];
  }
  return pixels;
}

} // namespace

bool SaveFilmFile(const FilmBox& filmBox, const Raster& raster, const std::string& callingAETitle,
                  const std::string& destination, int jobNumber) {
  const std::string serial = "S#" + std::to_string(filmBox.SerialNumber);
  const std::string name = FilmFileName(FormatDateTime("yy.mm.dd_hh.nn.ss"), filmBox.FilmSizeID,
                                        filmBox.FilmSessionLabel, jobNumber, destination);
  const std::string folder = ProgramFolder() + "filmbox/" + destination;
  const std::string path = folder + "/" + name;
  std::string error;
  bool written = false;
  try {
    const std::vector<uint8_t> rgb = EncoderPixels(raster);
    const uint8_t* pixels = raster.color ? rgb.data() : raster.pixels.data();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      error = "cannot create " + folder + ": " + ec.message();
    } else if (destination == "PDF") {
      written = WritePdfFile(path, pixels, raster.width, raster.height, raster.color, &error);
    } else {
      written = WriteJpegFile(path, pixels, raster.width, raster.height, raster.color, &error);
    }
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!written) {
    WriteLog("ERROR, " + serial + ", Saving File: " + name + ", " + error);
    WriteLog("INFO, " + serial + ", image parameters: Width=" + std::to_string(raster.width) +
             ", Heigth=" + std::to_string(raster.height));
    return false;
  }
  if (LogEnabled(1)) WriteLog("INFO, " + serial + ", Print Job FileName: " + name);
  if (destination == "PACS")
    return SendToPACS(path, callingAETitle, filmBox.FilmSizeID, CurrentConfiguration()->PacsFormat);
  return true;
}
