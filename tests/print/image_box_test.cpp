#include <gtest/gtest.h>

#include "dicom/log_capture.h"
#include "dump_dataset.h"
#include "print/image_box.h"
#include "print/presentation_lut.h"

namespace {

struct Description {
  std::string photometric = "MONOCHROME2";
  int samplesPerPixel = 1;
  int planar = 0;
  int rows = 2, columns = 2;
  int bitsAllocated = 8, bitsStored = 8, pixelRepresentation = 0;
  std::string polarity;
  std::string window; // "center width slope intercept" lines, as dump text
};

// An N-SET of a Basic Grayscale or Color Image Box as an SCU sends it: the
// image box attributes at the top, the image in the one item of the image sequence.
std::string ImageBoxDump(const Description &d, const std::string &pixelLine,
                         const std::string &insideItemBeforePixels = "") {
  const bool color = d.samplesPerPixel == 3;
  std::string text = "(2020,0010) US 1\n";
  if (!d.polarity.empty())
    text += "(2020,0020) CS [" + d.polarity + "]\n";
  text += color ? "(2020,0111) SQ (Sequence)\n" : "(2020,0110) SQ (Sequence)\n";
  text += "(fffe,e000) na (Item)\n";
  text += "(0028,0002) US " + std::to_string(d.samplesPerPixel) + "\n";
  text += "(0028,0004) CS [" + d.photometric + "]\n";
  if (color)
    text += "(0028,0006) US " + std::to_string(d.planar) + "\n";
  text += "(0028,0010) US " + std::to_string(d.rows) + "\n";
  text += "(0028,0011) US " + std::to_string(d.columns) + "\n";
  text += "(0028,0100) US " + std::to_string(d.bitsAllocated) + "\n";
  text += "(0028,0101) US " + std::to_string(d.bitsStored) + "\n";
  text += "(0028,0102) US " + std::to_string(d.bitsStored - 1) + "\n";
  text += "(0028,0103) US " + std::to_string(d.pixelRepresentation) + "\n";
  text += d.window;
  text += insideItemBeforePixels;
  text += pixelLine;
  text += "(fffe,e00d) na (ItemDelimitationItem)\n";
  text += "(fffe,e0dd) na (SequenceDelimitationItem)\n";
  return text;
}

std::string Window(const std::string &center, const std::string &width,
                   const std::string &intercept, const std::string &slope) {
  return "(0028,1050) DS [" + center + "]\n(0028,1051) DS [" + width + "]\n(0028,1052) DS [" +
         intercept + "]\n(0028,1053) DS [" + slope + "]\n";
}

std::vector<uint8_t> SetPixels(ImageBox &box, const std::string &dump, SequenceLengths lengths,
                               uint16_t *status = nullptr) {
  DcmObj dataset = DatasetFromDump(dump, lengths);
  uint16_t result = box.Set(dataset, PresentationLUT{});
  if (status)
    *status = result;
  return box.Pixels;
}

struct IntakeCase {
  const char *name;
  Description description;
  std::vector<int> samples;
  std::vector<uint8_t> expected;
};

std::vector<IntakeCase> IntakeCases() {
  Description mono1;
  mono1.photometric = "MONOCHROME1";
  Description mono1Reverse = mono1;
  mono1Reverse.polarity = "REVERSE";
  Description mono2Reverse;
  mono2Reverse.polarity = "REVERSE";
  Description bits12;
  bits12.bitsAllocated = 16;
  bits12.bitsStored = 12;
  Description bits12Signed = bits12;
  bits12Signed.pixelRepresentation = 1;
  Description bits11 = bits12;
  bits11.bitsStored = 11;
  Description ct;
  ct.bitsAllocated = ct.bitsStored = 16;
  ct.pixelRepresentation = 1;
  ct.window = Window("40", "400", "-1024", "1");
  Description unsigned16;
  unsigned16.bitsAllocated = unsigned16.bitsStored = 16;
  unsigned16.window = Window("40000", "1000", "0", "1");
  Description window12 = bits12;
  window12.window = Window("2048\\1024", "4096\\2048", "0", "1");
  Description mono1Window = ct;
  mono1Window.photometric = "MONOCHROME1";
  Description nanSlope = ct;
  nanSlope.window = Window("40", "400", "0", "nan");
  Description hugeSlope = ct;
  hugeSlope.window = Window("40", "400", "0", "3e38");
  Description rgb;
  rgb.photometric = "RGB";
  rgb.samplesPerPixel = 3;
  Description rgbPlanar = rgb;
  rgbPlanar.planar = 1;
  Description rgbReverse = rgb;
  rgbReverse.polarity = "REVERSE";
  Description rgbPlanarReverse = rgbPlanar;
  rgbPlanarReverse.polarity = "REVERSE";
  Description rgb16 = rgb;
  rgb16.rows = 1;
  rgb16.bitsAllocated = rgb16.bitsStored = 16;
  Description rgb12Planar = rgbPlanar;
  rgb12Planar.rows = 1;
  rgb12Planar.bitsAllocated = 16;
  rgb12Planar.bitsStored = 12;
  Description ybr = rgb;
  ybr.photometric = "YBR_FULL";
  ybr.rows = 1;
  Description ybr422 = ybr;
  ybr422.photometric = "YBR_FULL_422";

  return {
      {"8-bit copy", {}, {0, 1, 128, 255}, {0, 1, 128, 255}},
      {"MONOCHROME1 inverted", mono1, {0, 1, 128, 255}, {255, 254, 127, 0}},
      {"MONOCHROME1 with REVERSE copied", mono1Reverse, {0, 1, 128, 255}, {0, 1, 128, 255}},
      {"MONOCHROME2 with REVERSE inverted", mono2Reverse, {0, 1, 128, 255}, {255, 254, 127, 0}},
      {"12-bit shift", bits12, {4095, 16, 2048, 0}, {255, 1, 128, 0}},
      {"12-bit signed shift", bits12Signed, {-16, -4096, 4095, 100}, {0, 0, 255, 6}},
      {"11-bit shift by 3", bits11, {2047, 1024, 8, 0}, {255, 128, 1, 0}},
      {"16-bit window", ct, {1064, 0, 1464, 664}, {127, 0, 255, 0}},
      {"unsigned 16-bit above 32767 windowed",
       unsigned16,
       {40000, 39500, 40500, 0},
       {127, 0, 254, 0}},
      {"first value of multi-valued window", window12, {2048, 0, 4095, 1024}, {127, 0, 254, 63}},
      {"MONOCHROME1 windowed inverted", mono1Window, {1064, 0, 1464, 664}, {128, 255, 0, 255}},
      {"NaN slope gives black", nanSlope, {1064, 0, -1, 1}, {0, 0, 0, 0}},
      {"huge slope saturates", hugeSlope, {1064, 0, -1, 1}, {255, 101, 0, 255}},
      {"RGB interleaved copy",
       rgb,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {"RGB planar to interleaved",
       rgbPlanar,
       {1, 2, 3, 4, 11, 12, 13, 14, 21, 22, 23, 24},
       {1, 11, 21, 2, 12, 22, 3, 13, 23, 4, 14, 24}},
      {"RGB with REVERSE inverted",
       rgbReverse,
       {0, 0, 0, 255, 255, 255, 1, 2, 3, 4, 5, 6},
       {255, 255, 255, 0, 0, 0, 254, 253, 252, 251, 250, 249}},
      {"planar RGB with REVERSE inverted too",
       rgbPlanarReverse,
       {0, 0, 0, 0, 255, 255, 255, 255, 1, 2, 3, 4},
       {255, 0, 254, 255, 0, 253, 255, 0, 252, 255, 0, 251}},
      {"16-bit RGB reduced to 8 bits",
       rgb16,
       {0xFFFF, 0x8000, 0x0100, 0, 0x00FF, 0x7F00},
       {255, 128, 1, 0, 0, 127}},
      {"12-bit planar RGB reduced to 8 bits",
       rgb12Planar,
       {4095, 16, 2048, 0, 160, 4080},
       {255, 128, 10, 1, 0, 255}},
      {"YBR_FULL to RGB", ybr, {128, 128, 128, 76, 85, 255}, {128, 128, 128, 254, 0, 0}},
      {"YBR_FULL_422 to RGB", ybr422, {76, 128, 85, 255}, {254, 0, 0, 255, 52, 52}},
  };
}

class Intake : public ::testing::TestWithParam<SequenceLengths> {};

// Every intake path, with the image sequence of defined and of undefined length
// (dcmjs-dimse sends undefined lengths, DCMTK defined ones): same pixels either way.
TEST_P(Intake, EveryPhotometricPath) {
  for (const IntakeCase &c : IntakeCases()) {
    SCOPED_TRACE(c.name);
    const bool words = c.description.bitsAllocated > 8;
    ImageBox box;
    uint16_t status = 1;
    auto pixels = SetPixels(box, ImageBoxDump(c.description, PixelDataLine(c.samples, words)),
                            GetParam(), &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(pixels, c.expected);
    EXPECT_TRUE(box.HasPixels());
    EXPECT_EQ(box.Rows, c.description.rows);
    EXPECT_EQ(box.Columns, c.description.columns);
  }
}

TEST_P(Intake, IconImageSequenceIsIgnored) {
  const std::string icon = "(0088,0200) SQ (Sequence)\n"
                           "(fffe,e000) na (Item)\n"
                           "(0028,0002) US 1\n"
                           "(0028,0004) CS [MONOCHROME1]\n"
                           "(0028,0010) US 1\n"
                           "(0028,0011) US 1\n"
                           "(0028,0100) US 16\n"
                           "(0028,0101) US 12\n"
                           "(7fe0,0010) OW 0fff\n"
                           "(fffe,e00d) na (ItemDelimitationItem)\n"
                           "(fffe,e0dd) na (SequenceDelimitationItem)\n";
  ImageBox box;
  LogCapture log;
  auto pixels =
      SetPixels(box, ImageBoxDump({}, PixelDataLine({9, 8, 7, 6}, false), icon), GetParam());
  EXPECT_EQ(pixels, (std::vector<uint8_t>{9, 8, 7, 6}));
  EXPECT_EQ(box.Rows, 2);
  EXPECT_EQ(box.Columns, 2);
  EXPECT_EQ(box.BitsStored, 8);
  EXPECT_EQ(box.PhotometricInterpretation, "MONOCHROME2");
  EXPECT_FALSE(log.Contains("WARNING")) << "the icon's pixels are not taken either";
}

TEST_P(Intake, SecondSetReplacesThePixels) {
  ImageBox box;
  SetPixels(box, ImageBoxDump({}, PixelDataLine({1, 2, 3, 4}, false)), GetParam());
  Description larger;
  larger.rows = 1;
  larger.columns = 6;
  auto pixels =
      SetPixels(box, ImageBoxDump(larger, PixelDataLine({6, 5, 4, 3, 2, 1}, false)), GetParam());
  EXPECT_EQ(pixels, (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(box.Columns, 6);
}

INSTANTIATE_TEST_SUITE_P(ImageBoxSet, Intake,
                         ::testing::Values(SequenceLengths::Defined, SequenceLengths::Undefined),
                         [](const auto &info) {
                           return info.param == SequenceLengths::Defined ? "DefinedLength"
                                                                         : "UndefinedLength";
                         });

TEST(ImageBoxSet, TakesTheImageBoxAttributes) {
  std::string dump = "(2020,0010) US 3\n(2020,0020) CS [NORMAL]\n(2020,0030) DS [120.5]\n" +
                     ImageBoxDump({}, PixelDataLine({1, 2, 3, 4}, false)).substr(17);
  ImageBox box;
  SetPixels(box, dump, SequenceLengths::Undefined);
  EXPECT_EQ(box.ImagePosition, 3);
  EXPECT_EQ(box.Polarity, "NORMAL");
  EXPECT_FLOAT_EQ(box.RequestedImageSize, 120.5f);
  EXPECT_FALSE(box.IsRGB);
  EXPECT_FALSE(box.Invert);
}

TEST(ImageBoxSet, MonochromeOneIsLoggedAboveLevelZero) {
  Description mono1;
  mono1.photometric = "MONOCHROME1";
  LogCapture log;
  LogLevel = 1;
  ImageBox box;
  SetPixels(box, ImageBoxDump(mono1, PixelDataLine({0, 0, 0, 0}, false)), SequenceLengths::Defined);
  LogLevel = 0;
  EXPECT_TRUE(log.Contains("MONOCHROME1"));
  EXPECT_TRUE(box.Invert);
}

// A Pixel Data value shorter than the description: the bytes that are there,
// black for the rest, and a warning with both lengths.
TEST(ImageBoxSet, ShortPixelDataIsPaddedWithBlack) {
  struct Case {
    Description description;
    std::vector<int> samples;
    bool words;
    std::vector<uint8_t> expected;
    std::string lengths;
  };
  Description mono1;
  mono1.photometric = "MONOCHROME1";
  Description bits16;
  bits16.bitsAllocated = bits16.bitsStored = 16;
  Description rgb;
  rgb.photometric = "RGB";
  rgb.samplesPerPixel = 3;
  Description planar = rgb;
  planar.planar = 1;
  Description rgbReverse = rgb;
  rgbReverse.polarity = "REVERSE";
  const Case cases[] = {
      {{}, {10, 20}, false, {10, 20, 0, 0}, "holds 2 bytes, the image needs 4"},
      {mono1, {10, 20}, false, {245, 235, 0, 0}, "holds 2 bytes, the image needs 4"},
      {bits16, {0x1000, 0x2000}, true, {16, 32, 0, 0}, "holds 4 bytes, the image needs 8"},
      {rgb,
       {1, 2, 3, 4, 5, 6, 7, 8},
       false,
       {1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0},
       "holds 8 bytes, the image needs 12"},
      {rgbReverse,
       {1, 2, 3, 4, 5, 6, 7, 8},
       false,
       {254, 253, 252, 251, 250, 249, 0, 0, 0, 0, 0, 0},
       "holds 8 bytes, the image needs 12"},
      {planar,
       {1, 2, 3, 4, 11, 12, 13, 14, 21, 22},
       false,
       {1, 11, 21, 2, 12, 22, 0, 0, 0, 0, 0, 0},
       "holds 10 bytes, the image needs 12"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.lengths);
    LogCapture log;
    ImageBox box;
    uint16_t status = 1;
    auto pixels = SetPixels(box, ImageBoxDump(c.description, PixelDataLine(c.samples, c.words)),
                            SequenceLengths::Undefined, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(pixels, c.expected);
    EXPECT_TRUE(log.Contains("WARNING, ImageBox::Set, Pixel Data " + c.lengths));
  }
}

TEST(ImageBoxSet, ImageAboveTheSizeLimitIsRefused) {
  Description huge;
  huge.rows = 65535;
  huge.columns = 2000; // 131 megapixels
  LogCapture log;
  ImageBox box;
  box.Pixels = {1, 2, 3};
  uint16_t status = 0;
  SetPixels(box, ImageBoxDump(huge, PixelDataLine({1, 2, 3, 4}, false)), SequenceLengths::Defined,
            &status);
  EXPECT_EQ(status, kStatusResourceLimitation);
  EXPECT_TRUE(box.Pixels.empty());
  EXPECT_FALSE(box.HasPixels());
  EXPECT_TRUE(
      log.Contains("ERROR, ImageBox::Set, image of 65535 x 2000 pixels is above the limit"));
}

// Encapsulated Pixel Data: its fragments are not data elements (here one that
// happens to look like a Rows element), and nothing is taken, with a warning.
TEST(ImageBoxSet, EncapsulatedPixelDataIsNotTaken) {
  DcmObj dataset;
  dataset.AddUShort(0x0028, 0x0010, 2);
  dataset.AddUShort(0x0028, 0x0011, 2);
  dataset.AddUShort(0x0028, 0x0101, 8);
  dataset.Add(new DcmTag(0x7FE0, 0x0010, kUndefinedLength, nullptr, "OB"));
  dataset.Add(new DcmTag(0xFFFE, 0xE000, 0u, nullptr, ""));
  const uint8_t rowsElement[] = {0x28, 0x00, 0x10, 0x00, 0x02, 0x00, 0x00, 0x00, 0x07, 0x00};
  dataset.Add(new DcmTag(0xFFFE, 0xE000, sizeof rowsElement, rowsElement, ""));
  dataset.Add(new DcmTag(0xFFFE, 0xE0DD, 0u, nullptr, ""));
  LogCapture log;
  ImageBox box;
  box.Pixels = {1, 2, 3, 4};
  EXPECT_EQ(box.Set(dataset, PresentationLUT{}), 0);
  EXPECT_TRUE(box.Pixels.empty());
  EXPECT_EQ(box.Rows, 2);
  EXPECT_TRUE(log.Contains("WARNING, ImageBox::Set, encapsulated (compressed) Pixel Data"));
}

TEST(ImageBoxSet, DescriptionWithoutPixelDataLeavesNoPixels) {
  DcmObj dataset;
  dataset.AddUShort(0x0028, 0x0010, 2);
  dataset.AddUShort(0x0028, 0x0011, 2);
  ImageBox box;
  EXPECT_EQ(box.Set(dataset, PresentationLUT{}), 0);
  EXPECT_FALSE(box.HasPixels());
}

TEST(PresentationLUTRead, TakesNothing) {
  DcmObj dataset;
  dataset.AddString(0x2050, 0x0020, "IDENTITY");
  PresentationLUT lut;
  EXPECT_FALSE(lut.Read(dataset));
  EXPECT_TRUE(lut.Shape.empty());
  EXPECT_TRUE(lut.LUTData.empty());
}

} // namespace
