#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/clock.h"
#include "frame/configuration.h"
#include "frame/print_counter.h"
#include "frame/program_folder.h"
#include "jpeg_decode.h"
#include "print/film_box.h"
#include "render/composition.h"
#include "render/film_file.h"
#include "render/print_job.h"
#include "render_fixture.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using render_test::Film;
using render_test::Image;
using render_test::LogCapture;
using testing_support::ReadFile;
using testing_support::RunCommand;
using testing_support::TempDir;

TEST(FilmFileName, FiltersWhatCannotStandInAFileName) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"CHEST", "CHEST"},
      {"../../x", "_._.._x"},
      {"a\\b:c", "a_b_c"},
      {std::string("n\0l", 3), "n_l"},
      {"tab\there\x7f", "tab_here_"},
      {".hidden", "_hidden"},
      {"Th\xf6rax 1", "Th\xf6rax 1"}, // 8-bit text and blanks stay
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FileNamePart(c.in), c.out) << c.in;
  EXPECT_EQ(FilmFileName("26.01.02_03.04.05", "14INX17IN", "CHEST", 7, "JPEG"),
            "26.01.02_03.04.05_14INX17IN_CHEST_007.jpg");
  EXPECT_EQ(FilmFileName("26.01.02_03.04.05", "14INX17IN", "", 12, "PDF"),
            "26.01.02_03.04.05_14INX17IN__012.pdf");
  EXPECT_EQ(FilmFileName("26.01.02_03.04.05", "A4", "", 0, "PACS"),
            "26.01.02_03.04.05_A4__000.jpg");
  // Over-long values are cut, so that the name stays below 255 bytes.
  EXPECT_EQ(FileNamePart(std::string(1000, 'L')), std::string(kMaxFileNamePart, 'L'));
  EXPECT_LT(FilmFileName("26.01.02_03.04.05", std::string(300, 'F'), std::string(1000, 'L'), 1,
                         "PDF")
                .size(),
            200u);
}

// A program folder of its own, a fixed clock and a private print counter.
class FilmPrint : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    SetProgramFolder(home_.folder());
    SetClockForTesting([] {
      return Clock::from_time_t(1767323045); // 2026-01-02 03:04:05 UTC
    });
    ReplaceConfiguration(PrintConfiguration{});
    SetPrintJobNumberForTesting(6);
  }
  void TearDown() override {
    SetClockForTesting(nullptr);
    ReplaceConfiguration(PrintConfiguration{});
  }
  void EnableHeaders(int headerPos = 1) {
    PrintConfiguration config;
    config.EnableHeaders = true;
    config.HeaderPos = headerPos;
    ReplaceConfiguration(config);
  }
  // Every file below filmbox/, as paths relative to the program folder.
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(home_.path()))
      if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), home_.path()).string());
    std::sort(files.begin(), files.end());
    return files;
  }
  std::string FilmPath(const std::string& folder, const std::string& name) const {
    return home_.folder() + "filmbox/" + folder + "/" + name;
  }
  // The composition raster FilmBox::Print builds for a file destination.
  static Raster Compose(FilmBox& film, const std::string& destination) {
    FilmComposition c;
    ComputeComposition(film, destination, FilePageGeometry(film), false, c);
    ResolveFilmColors(film, c);
    c.color = film.Color || film.ColorPrinting == 1;
    EXPECT_TRUE(InitPrint(film, c, 300, 300));
    Raster raster = c.color ? NewColorRaster(c.width, c.height, c.border)
                            : NewGreyRaster(c.width, c.height, c.border);
    DrawImage(film, raster, c.width, c.height, film.Columns, film.Rows);
    return raster;
  }

  TempDir home_;
  TempDir config_;
  LogCapture log_;
};

TEST_F(FilmPrint, JpegFilmDecodesToItsComposition) {
  auto film = Film(2, 2);
  film->FilmSessionLabel = "CHEST";
  film->BorderDensity = "BLACK";
  film->FilterIndex = 1;
  EXPECT_EQ(film->Print("JPEG"), 0) << log_.All();
  const std::string path = FilmPath("JPEG", "26.01.02_03.04.05_14INX17IN_CHEST_007.jpg");
  ASSERT_TRUE(fs::exists(path)) << log_.All();
  EXPECT_EQ(Files().size(), 1u);

  const std::string bytes = ReadFile(path);
  const DecodedJpeg jpeg = DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  ASSERT_TRUE(jpeg.ok);
  ASSERT_EQ(jpeg.width, 1598);
  ASSERT_EQ(jpeg.height, 1600);
  ASSERT_EQ(jpeg.components, 1);
  const Raster expected = Compose(*film, "JPEG");
  double total = 0;
  for (size_t i = 0; i < expected.pixels.size(); ++i)
    total += std::abs(int(expected.pixels[i]) - int(jpeg.pixels[i]));
  EXPECT_LT(total / expected.pixels.size(), 3.0);
  EXPECT_LE(jpeg.pixels[0], 3);                   // black border
  EXPECT_TRUE(log_.Has("Print Job FileName: 26.01.02_03.04.05_14INX17IN_CHEST_007.jpg"));
  EXPECT_TRUE(log_.Has("INFO, Starting Printing Process, Matrix: 2, 2, to JPEG"));
  EXPECT_TRUE(log_.Has("INFO, Printed Image size: width=1598, height=1600, Selected DPI=300"));
  EXPECT_TRUE(log_.Has("INFO, hdpi=300, vdpi=300, PageWidth=1598, PageHeight=1600"));
  EXPECT_TRUE(log_.Has("Printing Grayscale Image"));
  EXPECT_FALSE(log_.Has("ERROR"));
  EXPECT_EQ(ReadPrintCount(), 1);
}

TEST_F(FilmPrint, PdfFilmLayoutPassesQpdfAndRenders) {
  auto film = Film(2, 2);
  EXPECT_EQ(film->Print("PDF"), 0) << log_.All();
  const std::string path = FilmPath("PDF", "26.01.02_03.04.05_14INX17IN__007.pdf");
  ASSERT_TRUE(fs::exists(path)) << log_.All();
  const std::string pdf = ReadFile(path);
  EXPECT_NE(pdf.find("/MediaBox [ 0 0 1598 1600 ]\n"), std::string::npos);
  EXPECT_NE(pdf.find("/ColorSpace /DeviceGray\n"), std::string::npos);
  EXPECT_NE(pdf.find("6 0 obj\n33\nendobj\n"), std::string::npos);
  EXPECT_NE(pdf.find("0000000009 00000 n \n"), std::string::npos);

  std::string output;
  EXPECT_EQ(RunCommand({"qpdf", "--check", path}, &output), 0) << output;
  // One point per pixel: rendered at 72 dpi the page is the raster's size.
  const std::string png = home_.folder() + "page";
  ASSERT_EQ(RunCommand({"pdftoppm", "-r", "72", "-png", "-singlefile", path, png}, &output), 0);
  ASSERT_EQ(RunCommand({"identify", "-format", "%w %h", png + ".png"}, &output), 0);
  EXPECT_EQ(output.substr(0, 9), "1598 1600");
}

TEST_F(FilmPrint, ColourFilmWithHeaderStrip) {
  EnableHeaders(1);
  // A 2:1 header bitmap: 5 % of the 800 x 1 page height = 40 pixels high, 80 wide, centred.
  std::string bmp(54 + 2 * 1 * 4 * 1, '\0');
  {
    std::vector<uint8_t> b(54 + 8);
    b[0] = 'B', b[1] = 'M', b[10] = 54, b[14] = 40, b[18] = 2, b[22] = 1, b[26] = 1, b[28] = 24;
    b[54] = 0, b[55] = 0, b[56] = 255; // red
    b[57] = 255, b[58] = 0, b[59] = 0; // blue
    bmp.assign(b.begin(), b.end());
  }
  testing_support::WriteFile(home_.path() / "header.bmp", bmp);

  auto film = Film(1, 1, 0);
  film->Color = true;
  film->FilmSizeID = "A4";
  film->ImageBoxes.push_back(Image(300, 400, true));
  EXPECT_EQ(film->Print("JPEG"), 0) << log_.All();
  const std::string bytes = ReadFile(FilmPath("JPEG", "26.01.02_03.04.05_A4__007.jpg"));
  const DecodedJpeg jpeg = DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  ASSERT_TRUE(jpeg.ok) << log_.All();
  EXPECT_EQ(jpeg.components, 3);
  EXPECT_EQ(jpeg.width, 799);
  EXPECT_EQ(jpeg.height, 800 * 105 / 100); // JPEG: the full height plus 5 %
  EXPECT_TRUE(log_.Has("INFO, Printing header.bmp at: xf=359, yf=0"));
  auto pixel = [&](int x, int y) { return &jpeg.pixels[(size_t(y) * jpeg.width + x) * 3]; };
  EXPECT_GT(pixel(370, 20)[0], 200); // left half of the header is red
  EXPECT_LT(pixel(370, 20)[2], 60);
  EXPECT_GT(pixel(430, 20)[2], 200); // right half blue
  EXPECT_GT(pixel(200, 20)[1], 240); // white border beside it
  EXPECT_TRUE(log_.Has("Printing RGB Image"));

  // PDF with headers: the composition loses a tenth, the strip adds 5 % of that.
  auto pdfFilm = Film(2, 2);
  EXPECT_EQ(pdfFilm->Print("PDF"), 0) << log_.All();
  const std::string pdf = ReadFile(FilmPath("PDF", "26.01.02_03.04.05_14INX17IN__008.pdf"));
  EXPECT_NE(pdf.find("/MediaBox [ 0 0 1598 1512 ]"), std::string::npos); // 1440 x 1.05
}

TEST_F(FilmPrint, LabelCannotLeaveTheFilmFolder) {
  auto film = Film(1, 1);
  film->FilmSessionLabel = "../../x";
  film->FilmSizeID = "..";
  EXPECT_EQ(film->Print("JPEG"), 0) << log_.All();
  const std::vector<std::string> files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0], "filmbox/JPEG/26.01.02_03.04.05__._" "_._.._x_007.jpg");
}

TEST_F(FilmPrint, UnwritableFilmIsAFailedPrint) {
  fs::create_directories(home_.path() / "filmbox");
  testing_support::WriteFile(home_.path() / "filmbox" / "PDF", "not a folder");
  auto film = Film(1, 1);
  EXPECT_EQ(film->Print("PDF"), 531);
  const std::string serial = "S#" + std::to_string(film->SerialNumber);
  EXPECT_TRUE(log_.Has("ERROR, " + serial + ", Saving File: 26.01.02_03.04.05_14INX17IN__007.pdf, "))
      << log_.All();
  EXPECT_TRUE(log_.Has("INFO, " + serial + ", image parameters: Width=799, Heigth=800"));
  EXPECT_TRUE(log_.Has("ERROR: Status = -1"));
  EXPECT_TRUE(log_.Has("INFO, Image printed OK, returning back"));

  // A folder that refuses new files: no temporary file is left behind either.
  fs::create_directories(home_.path() / "filmbox" / "JPEG");
  fs::permissions(home_.path() / "filmbox" / "JPEG", fs::perms::owner_read | fs::perms::owner_exec);
  if (access((home_.folder() + "filmbox/JPEG").c_str(), W_OK) != 0) { // not running as root
    EXPECT_EQ(film->Print("JPEG"), 531);
    EXPECT_TRUE(fs::is_empty(home_.path() / "filmbox" / "JPEG"));
  }
  fs::permissions(home_.path() / "filmbox" / "JPEG", fs::perms::owner_all);
}

TEST_F(FilmPrint, DestinationsOtherThanFiles) {
  auto film = Film(1, 1);
  EXPECT_EQ(film->Print("DICOM"), 0);
  EXPECT_TRUE(log_.Lines().empty());
  EXPECT_EQ(ReadPrintCount(), 0);
  EXPECT_FALSE(fs::exists(home_.path() / "filmbox"));

  // Any other name is a print queue; no queue can be named with a blank.
  EXPECT_NE(film->Print("Laser 1"), 0);
  EXPECT_TRUE(log_.Has("ERROR, FilmBox::Print::CreateDC failed, Printer Name=Laser 1, status="));

  // PACS (nothing listens on its port): the JPEG is written, the failed send
  // makes the print fail.
  PrintConfiguration config;
  config.PacsIP = "127.0.0.1";
  config.PacsPort = std::to_string(testing_support::FreePort());
  ReplaceConfiguration(config);
  EXPECT_EQ(film->Print("PACS"), 531);
  EXPECT_TRUE(fs::exists(FilmPath("PACS", "26.01.02_03.04.05_14INX17IN__007.jpg")));
  EXPECT_TRUE(log_.Has("ERROR, SendToPACS"));
  EXPECT_EQ(ReadPrintCount(), 1);
}

TEST_F(FilmPrint, JobNumbersAndCounter) {
  auto film = Film(1, 1);
  SetPrintJobNumberForTesting(998);
  EXPECT_EQ(film->Print("JPEG"), 0);
  EXPECT_EQ(film->Print("JPEG"), 0);
  EXPECT_TRUE(fs::exists(FilmPath("JPEG", "26.01.02_03.04.05_14INX17IN__999.jpg")));
  EXPECT_TRUE(fs::exists(FilmPath("JPEG", "26.01.02_03.04.05_14INX17IN__000.jpg")));
  EXPECT_EQ(ReadPrintCount(), 2);
}

TEST_F(FilmPrint, BadGammaAndCalibration) {
  auto film = Film(1, 1);
  film->GammaIndex = -1;
  EXPECT_EQ(film->Print("JPEG"), 531);
  EXPECT_TRUE(log_.Has("gamma value is"));
  EXPECT_TRUE(log_.Has("ERROR: Failed to Init and load matrix bitmaps"));
  EXPECT_FALSE(fs::exists(home_.path() / "filmbox"));

  auto calibration = Film(3, 3, 1);
  calibration->CalibrationFilm = true;
  EXPECT_EQ(calibration->Print("PDF"), 0) << log_.All();
  std::string output;
  const std::string path = FilmPath("PDF", "26.01.02_03.04.05_14INX17IN__007.pdf");
  EXPECT_EQ(RunCommand({"qpdf", "--check", path}, &output), 0) << output;
  EXPECT_NE(ReadFile(path).find("/MediaBox [ 0 0 2397 2400 ]"), std::string::npos);
}

} // namespace
