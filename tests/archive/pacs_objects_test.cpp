// The objects sent to the PACS, built without a network: the Encapsulated
// PDF object, and what the JPEG's own header makes the image declare.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "archive/dcm_study.h"
#include "archive/jpeg_image.h"
#include "archive/jpeg_to_pdf_stream.h"
#include "archive/pdf2dicom.h"
#include "archive/send_to_pacs.h"
#include "dicom/dcm_obj.h"
#include "dicom/log_capture.h"
#include "pacs_test_support.h"

using namespace testing_support;

namespace {

std::string LastComponent(const std::string &uid) { return uid.substr(uid.rfind('.') + 1); }

TEST(PDF2DICOM, InstanceCounterNumbersAndWraps) {
  DCMStudy study;
  study.StudyTime = "030405";
  // The counter is process-wide: find where it stands, then walk past a wrap.
  int expected = -1;
  bool wrapped = false;
  for (int i = 0; i < 101; ++i) {
    DcmObj object;
    ASSERT_TRUE(PDF2DICOM("%PDF", study, object, "14INX17IN"));
    const std::string last = LastComponent(object.GetString(0x0008, 0x0018));
    ASSERT_EQ(last[0], '1');
    const int counter = std::stoi(last.substr(1));
    if (expected >= 0) {
      ASSERT_EQ(counter, expected);
    }
    expected = (counter + 1) % 99;
    EXPECT_EQ(object.GetString(0x0020, 0x0013), std::to_string(expected));
    if (counter == 98) {
      EXPECT_EQ(last, "198");
      EXPECT_EQ(object.GetString(0x0020, 0x0013), "0");
      wrapped = true;
    }
    if (counter == 0) {
      EXPECT_EQ(last, "10");
      EXPECT_EQ(object.GetString(0x0020, 0x0013), "1");
    }
    EXPECT_EQ(LastComponent(object.GetString(0x0020, 0x000E)), "200");
  }
  EXPECT_TRUE(wrapped);
}

TEST(PDF2DICOM, DocumentIsPaddedWithOneZeroByte) {
  DCMStudy study;
  for (const std::string pdf : {"%PDF-", "%PDF-1"}) {
    DcmObj object;
    ASSERT_TRUE(PDF2DICOM(pdf, study, object, "TITLE"));
    const DcmTag *document = object.Find(0x0042, 0x0011);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->VR, "OB");
    ASSERT_EQ(document->Length, (pdf.size() + 1) / 2 * 2);
    EXPECT_EQ(std::string(document->Value().begin(), document->Value().begin() + pdf.size()), pdf);
    if (pdf.size() % 2 != 0) {
      EXPECT_EQ(document->Value().back(), 0);
    }
    EXPECT_EQ(object.GetString(0x0042, 0x0012), "application/pdf");
    EXPECT_EQ(object.TransferSyntax, "1.2.840.10008.1.2.1");
    EXPECT_TRUE(object.Explicit);
  }
}

TEST(PDF2DICOM, EmptyStreamFailsKeepingTheStudyAttributes) {
  LogCapture log;
  DCMStudy study;
  study.PatientName = "WARD3";
  DcmObj object;
  EXPECT_FALSE(PDF2DICOM("", study, object, "TITLE"));
  EXPECT_TRUE(log.Contains("ERROR, PDF2DICOM, Stream size is zero"));
  EXPECT_EQ(object.GetString(0x0010, 0x0010), "WARD3");
  EXPECT_EQ(object.Find(0x0042, 0x0011), nullptr);
}

// A JPEG made with the given colour space, luma sampling and coding.
std::vector<uint8_t> MakeJpeg(J_COLOR_SPACE inSpace, J_COLOR_SPACE jpegSpace, int h, int v,
                              bool progressive) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char *out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = 32;
  cinfo.image_height = 16;
  cinfo.input_components = inSpace == JCS_GRAYSCALE ? 1 : inSpace == JCS_CMYK ? 4 : 3;
  cinfo.in_color_space = inSpace;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, jpegSpace);
  cinfo.comp_info[0].h_samp_factor = h;
  cinfo.comp_info[0].v_samp_factor = v;
  if (progressive)
    jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(32 * cinfo.input_components, 90);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&cinfo);
  free(out);
  return bytes;
}

TEST(LoadJPEGImage, DeclaresWhatTheJpegHolds) {
  struct Case {
    const char *name;
    J_COLOR_SPACE in, jpeg;
    int h, v;
    bool progressive;
    int components;
    const char *photometric;
    bool baseline;
  } cases[] = {
      {"grey", JCS_GRAYSCALE, JCS_GRAYSCALE, 1, 1, false, 1, "MONOCHROME2", true},
      {"YCbCr 4:4:4", JCS_RGB, JCS_YCbCr, 1, 1, false, 3, "YBR_FULL", true},
      {"YCbCr 4:2:2", JCS_RGB, JCS_YCbCr, 2, 1, false, 3, "YBR_FULL_422", true},
      {"YCbCr 4:2:0", JCS_RGB, JCS_YCbCr, 2, 2, false, 3, "YBR_FULL_422", true},
      {"RGB", JCS_RGB, JCS_RGB, 1, 1, false, 3, "RGB", true},
      {"CMYK", JCS_CMYK, JCS_CMYK, 1, 1, false, 4, "", true},
      {"progressive", JCS_RGB, JCS_YCbCr, 1, 1, true, 3, "YBR_FULL", false},
  };
  TempDir dir;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.folder() + "image.jpg";
    const std::vector<uint8_t> bytes = MakeJpeg(c.in, c.jpeg, c.h, c.v, c.progressive);
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
    JPEGImage image;
    std::string error;
    ASSERT_TRUE(LoadJPEGImage(path, image, error)) << error;
    EXPECT_EQ(image.Data, bytes);
    EXPECT_EQ(image.Width, 32);
    EXPECT_EQ(image.Height, 16);
    EXPECT_EQ(image.Components, c.components);
    EXPECT_EQ(image.Photometric, c.photometric);
    EXPECT_EQ(image.Baseline, c.baseline);
  }
}

TEST(LoadJPEGImage, DamagedFilesFailWithAReason) {
  TempDir dir;
  const std::vector<uint8_t> good = MakeJpeg(JCS_RGB, JCS_YCbCr, 1, 1, false);
  for (const std::string &content :
       {std::string(), std::string("\xff\xd8\xff", 3), std::string(good.begin(), good.begin() + 40),
        std::string("GIF89a")}) {
    WriteFile(dir.path() / "bad.jpg", content);
    JPEGImage image;
    std::string error;
    EXPECT_FALSE(LoadJPEGImage((dir.path() / "bad.jpg").string(), image, error));
    EXPECT_FALSE(error.empty());
  }
  // A JPEG cut after its header reads, but its pixels do not decode fully:
  // libjpeg fills the rest, and the decoder must neither crash nor overrun.
  WriteFile(dir.path() / "cut.jpg", std::string(good.begin(), good.end() - 20));
  JPEGImage image;
  std::string error;
  ASSERT_TRUE(LoadJPEGImage((dir.path() / "cut.jpg").string(), image, error)) << error;
  std::vector<uint8_t> pixels;
  DecodeJPEGImage(image, pixels, error);

  // Damaged bytes anywhere: every read ends in a result, none in a crash.
  uint32_t seed = 12345;
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> bytes = good;
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245u + 12345u;
      bytes[(seed >> 8) % bytes.size()] = static_cast<uint8_t>(seed >> 24);
    }
    WriteFile(dir.path() / "mutated.jpg", std::string(bytes.begin(), bytes.end()));
    JPEGImage mutated;
    if (LoadJPEGImage((dir.path() / "mutated.jpg").string(), mutated, error))
      DecodeJPEGImage(mutated, pixels, error);
  }
}

TEST(SentJPEG, RefusesWhatJpegBaselineCannotCarry) {
  // Nothing listens on the port: a refusal must come before any connection.
  UsePacs(FreePort());
  LogCapture log;
  TempDir dir;
  for (J_COLOR_SPACE space : {JCS_CMYK, JCS_RGB}) {
    const bool progressive = space == JCS_RGB;
    const std::vector<uint8_t> bytes = MakeJpeg(space, space, 1, 1, progressive);
    WriteFile(dir.path() / "film.jpg", std::string(bytes.begin(), bytes.end()));
    EXPECT_FALSE(SendToPACS(dir.folder() + "film.jpg", "WARD3", "14INX17IN", 1));
  }
  EXPECT_TRUE(log.Contains(
      "ERROR, DCMStudy::SentJPEG, the image is no 8-bit baseline grey or colour JPEG"));
  EXPECT_FALSE(log.Contains("OpenAssoc failed"));
}

TEST(JPEGToPDFStream, ReencodesAnyReadableJpegIntoOnePage) {
  TempDir dir;
  const std::vector<uint8_t> bytes = MakeJpeg(JCS_RGB, JCS_YCbCr, 2, 2, true);
  WriteFile(dir.path() / "film.jpg", std::string(bytes.begin(), bytes.end()));
  JPEGImage image;
  std::string error;
  ASSERT_TRUE(LoadJPEGImage(dir.folder() + "film.jpg", image, error));
  std::string pdf = "old content";
  ASSERT_TRUE(JPEGToPDFStream(image, pdf));
  EXPECT_EQ(pdf.rfind("%PDF-1.2\n", 0), 0u);
  EXPECT_NE(pdf.find("/MediaBox [ 0 0 32 16 ]"), std::string::npos);
  EXPECT_NE(pdf.find("/ColorSpace /DeviceRGB"), std::string::npos);
  // The page holds a new baseline JPEG, not the progressive original.
  const size_t start = pdf.find("stream\n\xff\xd8") + 7;
  const size_t end = pdf.find("endstream", start);
  WriteFile(dir.path() / "page.jpg", pdf.substr(start, end - start));
  JPEGImage page;
  ASSERT_TRUE(LoadJPEGImage(dir.folder() + "page.jpg", page, error)) << error;
  EXPECT_TRUE(page.Baseline);
  EXPECT_EQ(page.Photometric, "YBR_FULL");
  WriteFile(dir.path() / "film.pdf", pdf);
  std::string output;
  EXPECT_EQ(RunCommand({"qpdf", "--check", dir.folder() + "film.pdf"}, &output), 0) << output;
}

} // namespace
