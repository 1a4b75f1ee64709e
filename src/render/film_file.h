#pragma once
// The file output of a composed film: a JPEG or one-page PDF below
// program folder + "filmbox/" + destination, and for "PACS" the hand-off of the
// JPEG to the PACS forwarding.
#include <string>

#include "render/composition.h"
#include "render/raster.h"

class FilmBox;

// A Film Size ID or Film Session Label made safe to stand in a file name: "/",
// "\", ":", NUL, control characters and a leading "." become "_"; every other
// character stays. Cut after kMaxFileNamePart characters.
inline constexpr std::size_t kMaxFileNamePart = 64;
std::string FileNamePart(const std::string& text);

// yy.mm.dd_hh.nn.ss_<film size>_<label>_<job, 3 digits> + ".pdf" for "PDF", else ".jpg".
std::string FilmFileName(const std::string& timestamp, const std::string& filmSizeID,
                         const std::string& label, int jobNumber, const std::string& destination);

// The composition raster with a header strip of 5 % above it, showing
// program folder + "header.bmp" when there is one (placed by headerPos: 0 left,
// 1 centre, 2 right, 5 % of the file page's height high).
Raster AddHeaderStrip(const Raster& film, RGBColor border, const FilmPage& page, int headerPos);

// Writes raster as the film's file; for "PACS" also sends it. True when the
// file was written (and sent).
bool SaveFilmFile(const FilmBox& filmBox, const Raster& raster, const std::string& callingAETitle,
                  const std::string& destination, int jobNumber);
