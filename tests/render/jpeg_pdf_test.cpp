#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "jpeg_decode.h"
#include "render/jpeg_encoder.h"
#include "render/pdf_writer.h"
#include "support/test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::RunCommand;
using testing_support::TempDir;

std::vector<uint8_t> Gradient(int w, int h, int components) {
  std::vector<uint8_t> px(size_t(w) * h * components);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < components; ++c)
        px[(size_t(y) * w + x) * components + c] = uint8_t((x * (c + 1) + y) & 0xff);
  return px;
}

TEST(EncodeJpeg, BaselineJfifFullChromaWithinTolerance) {
  for (int components : {1, 3}) {
    const int w = 67, h = 45;
    const auto px = Gradient(w, h, components);
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeJpeg(w, h, components, px.data(), jpeg));
    const DecodedJpeg back = DecodeJpeg(jpeg.data(), jpeg.size());
    ASSERT_TRUE(back.ok);
    EXPECT_TRUE(back.jfif);
    EXPECT_FALSE(back.progressive);
    EXPECT_EQ(back.width, w);
    EXPECT_EQ(back.height, h);
    EXPECT_EQ(back.components, components);
    for (int c = 0; c < components; ++c) {
      EXPECT_EQ(back.hSampling[c], 1);
      EXPECT_EQ(back.vSampling[c], 1);
    }
    double error = 0;
    for (size_t i = 0; i < px.size(); ++i) error += std::abs(int(px[i]) - int(back.pixels[i]));
    EXPECT_LT(error / px.size(), 4.0) << components;
  }
}

// libjpeg's scanline path with the encoder's settings: what a grey film encoded
// through raw data must equal, byte for byte.
std::vector<uint8_t> ScanlineGreyJpeg(int w, int h, const std::vector<uint8_t>& px) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = 1;
  cinfo.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(px.data() + size_t(cinfo.next_scanline) * w);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> jpeg(out, out + size);
  jpeg_destroy_compress(&cinfo);
  free(out);
  return jpeg;
}

TEST(EncodeJpeg, GreyEqualsTheScanlineEncodeAtEveryEdgeRemainder) {
  // Widths and heights with every kind of partial block at the right and bottom
  // edges, and whole blocks read in place.
  const int sizes[][2] = {{1, 1}, {7, 9}, {8, 8}, {67, 45}, {64, 17}, {9, 64}, {300, 7}};
  uint32_t seed = 12345;
  for (const auto& [w, h] : sizes) {
    std::vector<uint8_t> px(size_t(w) * h);
    for (auto& value : px) value = uint8_t((seed = seed * 1103515245 + 12345) >> 24);
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeJpeg(w, h, 1, px.data(), jpeg));
    EXPECT_EQ(jpeg, ScanlineGreyJpeg(w, h, px)) << w << "x" << h;
  }
}

TEST(EncodeJpeg, LibraryErrorReturnsFailure) {
  // Beyond libjpeg's 65500-pixel limit: the library reports an error, which must
  // come back as a failure with its message instead of ending the process.
  const std::vector<uint8_t> row(70000, 128);
  std::vector<uint8_t> jpeg{1, 2, 3};
  std::string error;
  EXPECT_FALSE(EncodeJpeg(70000, 1, 1, row.data(), jpeg, &error));
  EXPECT_TRUE(jpeg.empty());
  EXPECT_NE(error.find("EncodeJpeg"), std::string::npos);
  EXPECT_GT(error.size(), 12u);
  EXPECT_FALSE(EncodeJpeg(0, 10, 1, row.data(), jpeg, &error));
}

TEST(WriteJpegFile, FailureLeavesNoFileBehind) {
  TempDir dir;
  const std::string path = dir.folder() + "film.jpg";
  const std::vector<uint8_t> row(70000, 128);
  std::string error;
  EXPECT_FALSE(WriteJpegFile(path, row.data(), 70000, 1, false, &error));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_FALSE(WriteJpegFile(dir.folder() + "missing/film.jpg", row.data(), 100, 1, false, &error));
  EXPECT_NE(error.find("missing"), std::string::npos);

  testing_support::WriteFile(path, "old film");
  ASSERT_TRUE(WriteJpegFile(path, row.data(), 100, 1, false, &error));
  const std::string written = ReadFile(path);
  EXPECT_EQ(written.substr(0, 2), "\xff\xd8");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WritePdf, ByteLayoutOfAGreyFilm) {
  const std::string jpeg = "\xff\xd8JPEGDATA\xff\xd9";
  std::string pdf;
  WritePdf(pdf, reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size(), 1598, 1600, false);

  const std::string expectedStart =
      "%PDF-1.2\n"
      "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n>>\nendobj\n"
      "2 0 obj\n<<\n/Type /Pages\n/Kids [ 3 0 R ]\n/Count 1\n>>\nendobj\n"
      "3 0 obj\n<<\n/Type /Page\n/Parent 2 0 R\n/Resources\n<<\n/XObject << /Im0 4 0 R >>\n"
      "/ProcSet [ /PDF /ImageC ]\n>>\n/MediaBox [ 0 0 1598 1600 ]\n/Contents 5 0 R\n>>\nendobj\n"
      "4 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Name /Im0\n/Width 1598\n/Height 1600\n"
      "/BitsPerComponent 8\n/Filter [/DCTDecode]\n/ColorSpace /DeviceGray\n/Length 12 >>\n"
      "stream\n" + jpeg + "endstream\nendobj\n"
      "5 0 obj\n<< /Length 6 0 R >>\nstream\nq\n1598 0 0 1600 0 0 cm\n/Im0 Do\nQ\n"
      "endstream\nendobj\n"
      "6 0 obj\n33\nendobj\n";
  ASSERT_EQ(pdf.substr(0, expectedStart.size()), expectedStart);

  // Cross-reference entries point at each "k 0 obj".
  const size_t xref = expectedStart.size();
  std::string expectedTail = "xref\n0 7\n0000000000 65535 f \n";
  for (int k = 1; k <= 6; ++k) {
    const size_t at = pdf.find("\n" + std::to_string(k) + " 0 obj\n") + 1;
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", at);
    expectedTail += entry;
  }
  expectedTail += "trailer\n<<\n/Size 7\n/Root 1 0 R\n>>\nstartxref\n" + std::to_string(xref) +
                  "\n%%EOF\n";
  EXPECT_EQ(pdf.substr(xref), expectedTail);
  EXPECT_NE(expectedTail.find("0000000009 00000 n \n"), std::string::npos);
}

TEST(WritePdfFile, PassesQpdfAndRendersAtItsSize) {
  if (testing_support::FindProgram("qpdf").empty() || testing_support::FindProgram("pdftoppm").empty())
    GTEST_SKIP() << "qpdf or pdftoppm not installed";
  TempDir dir;
  for (bool colour : {false, true}) {
    const int w = 320, h = 200;
    const auto px = Gradient(w, h, colour ? 3 : 1);
    const std::string path = dir.folder() + (colour ? "colour.pdf" : "grey.pdf");
    std::string error;
    ASSERT_TRUE(WritePdfFile(path, px.data(), w, h, colour, &error)) << error;
    const std::string pdf = ReadFile(path);
    EXPECT_NE(pdf.find(colour ? "/DeviceRGB" : "/DeviceGray"), std::string::npos);

    std::string output;
    EXPECT_EQ(RunCommand({"qpdf", "--check", path}, &output), 0) << output;
    // One point per pixel: at 72 dpi the page renders at the raster's size.
    const std::string prefix = dir.folder() + (colour ? "c" : "g");
    ASSERT_EQ(RunCommand({"pdftoppm", "-r", "72", "-png", "-singlefile", path, prefix}, &output), 0)
        << output;
    ASSERT_EQ(RunCommand({"identify", "-format", "%w %h", prefix + ".png"}, &output), 0);
    EXPECT_EQ(output.substr(0, 7), "320 200");
  }
}

} // namespace
