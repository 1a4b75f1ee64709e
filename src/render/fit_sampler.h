#pragma once
// The resampling behind FitResample, one buffer row at a time, so that film
// composition can put each row through the tone table while it is in the
// cache. Bilinear interpolation runs in two passes: across, once per source
// row (the two latest rows are kept, as consecutive buffer rows share them),
// then down between the two across-sampled rows around the buffer row.
#include <cstddef>
#include <cstdint>
#include <vector>

class FitSampler {
public:
  // src: cols x rows samples of 1 or 3 bytes (R, G, B); the target is w x h.
  FitSampler(const uint8_t* src, int cols, int rows, int w, int h, bool colour, uint8_t fill);

  // Writes buffer row i (w pixels), the image where it is sampled and fill
  // elsewhere, every sample mapped through lut (256 entries). With swapRB a
  // colour pixel is written B, G, R.
  void Row(int i, uint8_t* out, const uint8_t* lut, bool swapRB = false);

  // The identity table for Row.
  static const uint8_t* Identity();

private:
  // The across-sampled samples of source row y, in output channel order.
  const float* Across(int y, bool swapRB);

  const uint8_t* src_;
  int cols_, rows_, w_, h_, bpp_;
  uint8_t fill_;
  float scale_ = 1;
  int tx_ = 0, ty_ = 0;
  int first_ = 0;         // buffer columns [first_, first_ + x0_.size()) hold image samples
  std::vector<int> x0_;   // per image column: offset of its left source sample
  std::vector<float> fx_; // per image column: horizontal fraction
  size_t wholeGroups_ = 0; // image columns whose pixel pair has a byte after it in the row
  std::vector<float> across_[2]; // the two latest across-sampled source rows
  int acrossRow_[2] = {-1, -1};  // their source rows
  bool acrossSwapped_ = false;   // their channel order
  int older_ = 0;                // which of the two to replace next
  std::vector<float> base_, step_; // grey: a source row's samples and steps as floats
  std::vector<uint8_t> greyShuffles_; // grey: per chunk of 16 columns, each one's source offset in it
  size_t greyChunks_ = 0;
};
