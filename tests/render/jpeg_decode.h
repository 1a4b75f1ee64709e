#pragma once
// Test helper: decodes a JPEG with libjpeg-turbo.
#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodedJpeg {
  int width = 0, height = 0, components = 0;
  std::vector<uint8_t> pixels; // rows from the top, R,G,B or grey
  bool ok = false;
  bool jfif = false;
  int hSampling[3] = {0, 0, 0};
  int vSampling[3] = {0, 0, 0};
  bool progressive = false;
};

DecodedJpeg DecodeJpeg(const uint8_t* data, size_t size);
