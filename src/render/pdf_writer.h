#pragma once
// The one-page PDF of a film: the page is the image's size in points (one pixel
// per point) and holds the film as one DCT-compressed image.
#include <cstddef>
#include <cstdint>
#include <string>

// Appends the PDF around already encoded JPEG data to out. Object offsets and
// the cross-reference offset count from the start of out.
void WritePdf(std::string& out, const uint8_t* jpeg, size_t jpegSize, int width, int height,
              bool colour);

// Encodes the buffer (as WriteJpegFile) and writes the PDF to path, replacing an
// existing file only once the whole file is written.
bool WritePdfFile(const std::string& path, const uint8_t* pixels, int width, int height,
                  bool colour, std::string* error = nullptr);
