#pragma once
// A JPEG file held as its bytes, with what its frame header says about it.
#include <cstdint>
#include <string>
#include <vector>

struct JPEGImage {
  std::vector<uint8_t> Data; // the file's bytes, unchanged
  int Width = 0;
  int Height = 0;
  int Components = 0; // 1 grey, 3 colour
  // How a DICOM image of these bytes declares its samples: "MONOCHROME2",
  // "YBR_FULL" (YCbCr, no chroma subsampling), "YBR_FULL_422" (subsampled
  // YCbCr) or "RGB" (no colour transform); empty when no DICOM value fits.
  std::string Photometric;
  // 8-bit sequential Huffman coding: what JPEG baseline transfer syntax holds.
  bool Baseline = false;
};

// Reads the file and its JPEG header. False with the reason in error when the
// file cannot be read or is no JPEG that libjpeg can read.
bool LoadJPEGImage(const std::string &path, JPEGImage &image, std::string &error);

// Decodes the image into rows from the top: grey samples for 1 component,
// R, G, B otherwise. False with the reason in error.
bool DecodeJPEGImage(const JPEGImage &image, std::vector<uint8_t> &pixels, std::string &error);
