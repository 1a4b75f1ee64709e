#pragma once
// Baseline JPEG (quality 90, standard tables, 4:4:4, JFIF) of a pixel buffer.
#include <cstdint>
#include <string>
#include <vector>

// pixels: width x height samples of 1 (grey) or 3 (R, G, B) components, rows
// from the top, back to back. On failure returns false, leaves jpeg empty and,
// when error is given, puts the library's message there; the process goes on.
bool EncodeJpeg(int width, int height, int components, const uint8_t* pixels,
                std::vector<uint8_t>& jpeg, std::string* error = nullptr);

// Encodes the buffer and writes the JPEG to path, replacing an existing file only
// once the whole file is written.
bool WriteJpegFile(const std::string& path, const uint8_t* pixels, int width, int height,
                   bool colour, std::string* error = nullptr);
