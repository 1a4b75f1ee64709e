#pragma once
// The images a print SCU puts into image boxes: a generated test pattern or
// the first frame of a DICOM file, in a form a print SCP takes (PS3.4 H.4.3):
// grey as 8 or more bits unsigned MONOCHROME1/2, colour as 8-bit RGB sent
// colour-by-plane.
#include <cstdint>
#include <string>
#include <vector>

class DcmObj;

struct ScuImage {
  int Columns = 0;
  int Rows = 0;
  int Samples = 1; // 1 grey, 3 RGB
  int BitsAllocated = 8;
  int BitsStored = 8;
  std::string Photometric = "MONOCHROME2";
  // Grey: Rows x Columns samples, 16-bit ones little-endian. Colour: the R,
  // then the G, then the B plane.
  std::vector<uint8_t> Pixels;

  bool Colour() const { return Samples == 3; }
};

// A grey ramp over the full range of bits (8 to 16) above a checkerboard, or
// eight colour bars above a grey ramp (colour is 8-bit only).
ScuImage MakeTestPattern(bool colour, int bits, int columns, int rows);

// The first frame of an uncompressed DICOM file (implicit or explicit VR, either
// byte order). Grey images with more than 8 bits, signed ones or ones with a
// window or rescale are passed through the rescale and the first window (or the
// range of the frame when there is none) into 12 bits. False with the reason
// for anything else.
bool LoadDicomImage(const std::string &path, ScuImage &image, std::string &error);

// The N-SET data set of an image box at position (1-based) holding image.
void BuildImageBoxDataSet(const ScuImage &image, uint16_t position, DcmObj &dataSet);
