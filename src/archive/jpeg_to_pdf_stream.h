#pragma once
// A JPEG film re-encoded into the one-page PDF of the file output.
#include <string>

struct JPEGImage;

// Decodes image, encodes it again at quality 90 and writes the PDF of one
// page of the image's size (DeviceGray for grey JPEGs, else DeviceRGB) into
// pdf, replacing its content. False, logged, when the image cannot be decoded
// or encoded (pdf is then empty).
bool JPEGToPDFStream(const JPEGImage &image, std::string &pdf);
