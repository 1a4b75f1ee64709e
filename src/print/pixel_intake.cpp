// The pixel intake of an image box: the Pixel Data value, as the pixel
// description says it is laid out, into the internal form of 8-bit grey or
// interleaved 8-bit R, G, B with polarity applied.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "frame/event_log.h"
#include "print/image_box.h"

namespace {

// NaN (a window text such as "nan") gives 0.
inline uint8_t Clamp255(double value) {
  if (!(value >= 0))
    return 0;
  return static_cast<uint8_t>(value > 255 ? 255 : value);
}

// std::trunc without the library call: doubles beyond 2^52 hold no fraction.
inline double TruncTowardZero(double value) {
  return value > -4.5e15 && value < 4.5e15 ? static_cast<double>(static_cast<int64_t>(value))
                                           : value;
}

inline uint8_t Clamp255(int value) {
  return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

inline uint16_t Sample16(const uint8_t *value, std::size_t index) {
  return static_cast<uint16_t>(value[2 * index] | (value[2 * index + 1] << 8));
}

// Right shift that brings BitsStored bits down to 8.
inline int ShiftFor(uint16_t bitsStored) {
  return bitsStored > 8 && bitsStored <= 16 ? bitsStored - 8 : 0;
}

void InvertBytes(uint8_t *bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    bytes[i] = static_cast<uint8_t>(255 - bytes[i]);
}

// One colour sample as 8 bits: bytes as they are, 16-bit samples shifted down.
struct ColorSamples {
  const uint8_t *value;
  bool wide;
  int shift;
  uint8_t operator()(std::size_t index) const {
    if (!wide)
      return value[index];
    return Clamp255(Sample16(value, index) >> shift);
  }
};

// YBR_FULL to RGB (PS3.3 C.7.6.3.1.2), full-range ITU-R BT.601.
inline void YbrToRgb(int y, int cb, int cr, uint8_t *rgb) {
  rgb[0] = Clamp255(std::round(y + 1.402 * (cr - 128)));
  rgb[1] = Clamp255(std::round(y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128)));
  rgb[2] = Clamp255(std::round(y + 1.772 * (cb - 128)));
}

// Colour samples (RGB, YBR_FULL or YBR_FULL_422; interleaved or planar) into
// interleaved R, G, B. present counts the samples that arrived; pixels
// without all their samples stay black. Returns the number of pixels written
// (always the first ones).
std::size_t ConvertColor(const ColorSamples &sample, const std::string &photometric, bool planar,
                         std::size_t pixels, std::size_t present, uint8_t *out) {
  const bool ybr = photometric != "RGB";
  if (photometric == "YBR_FULL_422") {
    // Y1 Y2 Cb Cr for each two pixels.
    std::size_t pair = 0;
    for (; 4 * pair + 3 < present; ++pair) {
      const std::size_t s = 4 * pair;
      const int cb = sample(s + 2), cr = sample(s + 3);
      YbrToRgb(sample(s), cb, cr, out + 6 * pair);
      if (2 * pair + 1 < pixels)
        YbrToRgb(sample(s + 1), cb, cr, out + 6 * pair + 3);
    }
    return std::min(2 * pair, pixels);
  }
  if (planar) {
    // Three planes; a pixel needs its sample in the last plane.
    const std::size_t whole = present > 2 * pixels ? present - 2 * pixels : 0;
    for (std::size_t k = 0; k < whole; ++k) {
      uint8_t *rgb = out + 3 * k;
      if (ybr) {
        YbrToRgb(sample(k), sample(pixels + k), sample(2 * pixels + k), rgb);
      } else {
        rgb[0] = sample(k);
        rgb[1] = sample(pixels + k);
        rgb[2] = sample(2 * pixels + k);
      }
    }
    return whole;
  }
  if (!sample.wide && !ybr) {
    std::memcpy(out, sample.value, present / 3 * 3);
  } else {
    for (std::size_t k = 0; k < present / 3; ++k) {
      if (ybr)
        YbrToRgb(sample(3 * k), sample(3 * k + 1), sample(3 * k + 2), out + 3 * k);
      else
        for (std::size_t c = 0; c < 3; ++c)
          out[3 * k + c] = sample(3 * k + c);
    }
  }
  return present / 3;
}

// A grey sample of more than 8 bits as a number.
inline int SampleValue(const uint8_t *value, std::size_t index, bool isSigned) {
  const uint16_t raw = Sample16(value, index);
  return isSigned ? static_cast<int16_t>(raw) : raw;
}

// The window conversion of grey samples of more than 8 bits: rescaled, then
// windowed, each step truncated toward zero, in double precision. The
// conversion is worked out once for each value between the least and the
// greatest sample (at most 65536; 4096 for 12 bits stored) and then looked up
// for each sample.
void WindowGrey(const uint8_t *value, std::size_t count, bool isSigned, const ImageBox &box,
                uint8_t *out) {
  const double slope = box.RescaleSlope, intercept = box.RescaleIntercept;
  const double center = box.WindowCenter, width = box.WindowWidth;
  int least = SampleValue(value, 0, isSigned), greatest = least;
  for (std::size_t k = 1; k < count; ++k) {
    const int v = SampleValue(value, k, isSigned);
    least = std::min(least, v);
    greatest = std::max(greatest, v);
  }
  std::vector<uint8_t> grey(static_cast<std::size_t>(greatest - least) + 1);
  for (int v = least; v <= greatest; ++v) {
    const double m = TruncTowardZero(intercept + slope * v);
    const uint8_t g = Clamp255(TruncTowardZero((m - center) * 255 / width + 127));
    grey[static_cast<std::size_t>(v - least)] = box.Invert ? static_cast<uint8_t>(255 - g) : g;
  }
  const uint8_t *table = grey.data();
  for (std::size_t k = 0; k < count; ++k)
    out[k] = table[static_cast<std::size_t>(SampleValue(value, k, isSigned) - least)];
}

// The shift conversion of grey samples of more than 8 bits. The settings are
// copied out of box first: out could alias it, which would keep the compiler
// from vectorising the loop.
void ShiftGrey(const uint8_t *value, std::size_t count, bool isSigned, const ImageBox &box,
               uint8_t *out) {
  const int shift = ShiftFor(box.BitsStored);
  const uint8_t invert = box.Invert ? 0xFF : 0x00; // 255 - g is g ^ 0xFF
  if (isSigned) {
    for (std::size_t k = 0; k < count; ++k)
      out[k] = static_cast<uint8_t>(Clamp255(SampleValue(value, k, true) >> shift) ^ invert);
  } else {
    for (std::size_t k = 0; k < count; ++k)
      out[k] = static_cast<uint8_t>(Clamp255(SampleValue(value, k, false) >> shift) ^ invert);
  }
}

} // namespace

uint16_t ImageBox::TakePixels(const uint8_t *value, std::size_t length) {
  Pixels.clear();
  Pixels.shrink_to_fit();
  const uint64_t count = uint64_t{Rows} * Columns;
  if (count > kMaxImagePixels) {
    WriteLog("ERROR, ImageBox::Set, image of " + std::to_string(Rows) + " x " +
             std::to_string(Columns) + " pixels is above the limit of " +
             std::to_string(kMaxImagePixels) + " pixels, image box " + SOPInstanceUID);
    return kStatusResourceLimitation;
  }
  const std::size_t pixels = static_cast<std::size_t>(count);
  Invert = monochrome1_ != (Polarity == "REVERSE");
  // Samples of more than 8 bits take two bytes; without Bits Allocated the
  // stored bits decide.
  const bool wide = BitsAllocated != 0 ? BitsAllocated > 8 : BitsStored != 8;
  const std::size_t sampleBytes = wide ? 2 : 1;
  const bool ybr422 = IsRGB && PhotometricInterpretation == "YBR_FULL_422";
  const std::size_t samples = !IsRGB ? pixels : ybr422 ? (pixels + 1) / 2 * 4 : pixels * 3;
  const std::size_t needed = samples * sampleBytes;
  if (length < needed)
    WriteLog("WARNING, ImageBox::Set, Pixel Data holds " + std::to_string(length) +
             " bytes, the image needs " + std::to_string(needed) +
             "; the missing pixels are black, image box " + SOPInstanceUID);
  const std::size_t present = value ? std::min(length, needed) / sampleBytes : 0; // whole samples

  Pixels.assign(IsRGB ? pixels * 3 : pixels, 0); // black where nothing arrives
  uint8_t *out = Pixels.data();

  if (present == 0)
    return 0;
  if (IsRGB) {
    if (wide && LogEnabled(1))
      WriteLog("INFO, Bits Stored: " + std::to_string(BitsStored));
    const std::size_t written =
        ConvertColor({value, wide, ShiftFor(BitsStored)}, PhotometricInterpretation,
                     PlanarConfiguration == 1, pixels, present, out);
    if (Invert)
      InvertBytes(out, 3 * written);
    return 0;
  }

  if (!PhotometricInterpretation.empty() && PhotometricInterpretation != "MONOCHROME1" &&
      PhotometricInterpretation != "MONOCHROME2")
    WriteLog("WARNING, ImageBox::Set, Photometric Interpretation " + PhotometricInterpretation +
             " is taken as MONOCHROME2, image box " + SOPInstanceUID);

  if (!wide) {
    std::memcpy(out, value, present);
    if (Invert)
      InvertBytes(out, present);
    return 0;
  }

  WriteLog("INFO, Bits Stored: " + std::to_string(BitsStored));
  if (WindowWidth > 0)
    WindowGrey(value, present, PixelRepresentation != 0, *this, out);
  else
    ShiftGrey(value, present, PixelRepresentation != 0, *this, out);
  return 0;
}
