#pragma once
// The association's Presentation LUT. No request fills it: N-CREATE of a
// Presentation LUT is answered with a failure, and the intake applies no LUT.
#include <cstdint>
#include <string>
#include <vector>

class DcmObj;

class PresentationLUT {
public:
  std::string Shape;            // stays empty
  std::vector<uint8_t> LUTData; // stays empty

  // The intake of an N-CREATE of a Presentation LUT: takes nothing, returns false.
  bool Read(const DcmObj &dataset);
};
