#pragma once
// A Basic Grayscale or Color Image Box: the pixel description and pixels that
// an N-SET gave it, in the one internal form that film composition reads.
#include <cstdint>
#include <string>
#include <vector>

class DcmObj;
class DcmTag;
class PresentationLUT;

// Status of an N-SET whose image exceeds kMaxImagePixels (resource limitation).
inline constexpr uint16_t kStatusResourceLimitation = 0x0213;
// Largest image (Rows x Columns) the intake takes: 100 megapixels.
inline constexpr uint64_t kMaxImagePixels = 100'000'000;

class ImageBox {
public:
  std::string SOPInstanceUID;
  std::string FilmBoxUID;
  std::string FilmSessionUID;

  uint16_t ImagePosition = 0;   // (2020,0010)
  std::string Polarity;         // (2020,0020)
  float RequestedImageSize = 0; // (2020,0030), millimetres
  std::string PhotometricInterpretation;
  uint16_t SamplesPerPixel = 0;
  uint16_t PlanarConfiguration = 0;
  uint16_t Rows = 0;
  uint16_t Columns = 0;
  uint16_t BitsAllocated = 0;
  uint16_t BitsStored = 0;
  uint16_t HighBit = 0;
  uint16_t PixelRepresentation = 0;
  bool IsRGB = false;  // Pixels hold R, G, B triplets
  bool Invert = false; // MONOCHROME1, toggled by polarity REVERSE
  float WindowCenter = 0;
  float WindowWidth = 0;
  float RescaleIntercept = 0;
  float RescaleSlope = 1.0f;

  // Row by row from the top, no row padding: Rows x Columns bytes of grey
  // (0 black, 255 white) or Rows x Columns x 3 bytes R, G, B; inversion
  // applied. Empty while no pixel data has been taken.
  std::vector<uint8_t> Pixels;
  // True when Pixels holds the whole image that Rows, Columns and IsRGB
  // describe. A description can arrive without pixel data, or with an image
  // that was refused: readers of Pixels check this first.
  bool HasPixels() const {
    return !Pixels.empty() && Pixels.size() == std::size_t{Rows} * Columns * (IsRGB ? 3 : 1);
  }
  // The cell film composition gives this image: Width x Height composition
  // pixels, its margins holding Fill before the tone table. 0 x 0: no cell.
  struct ImageCell {
    int Width = 0;
    int Height = 0;
    uint8_t Fill = 0;
    bool Empty() const { return Width <= 0 || Height <= 0; }
  } Cell;
  // Composition pixels per 100 mm of a true-size rendering; 0 until set.
  float TrueSizeScale = 0;

  // Takes the pixel description and pixel data of an N-SET data set. Returns
  // 0, or kStatusResourceLimitation for an image above kMaxImagePixels.
  uint16_t Set(const DcmObj &dataset, const PresentationLUT &lut);

  // The pixel intake: turns the Pixel Data value into Pixels by the current
  // description. A value shorter than the description asks for is taken as
  // far as it goes and the rest is black.
  uint16_t TakePixels(const uint8_t *value, std::size_t length);

private:
  // Takes the elements of one data set (or one decoded sequence or item).
  void Walk(const DcmObj &dataset, uint16_t &status);
  void Take(const DcmTag &tag, uint16_t &status);

  bool monochrome1_ = false; // (0028,0004) was MONOCHROME1
};
