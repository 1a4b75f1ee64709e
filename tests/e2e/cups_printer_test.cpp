// Films printed on a queue of a private CUPS scheduler: the document the
// capture backend receives, its page size, pages, options and rendering.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "cups_spooler.h"
#include "frame/configuration.h"
#include "frame/program_folder.h"
#include "print/film_box.h"
#include "render/printer_list.h"
#include "render/render_fixture.h"
#include "support/test_support.h"

namespace {

using render_test::Film;
using render_test::Image;
using render_test::LogCapture;
using testing_support::RunCommand;
using testing_support::TempDir;

// A rendered page as 8-bit grey samples.
struct GreyPage {
  int width = 0, height = 0;
  std::string samples;
  int At(int x, int y) const { return static_cast<unsigned char>(samples[size_t(y) * width + x]); }
};

GreyPage RenderFirstPage(const std::string& pdf, const std::string& folder, int dpi) {
  GreyPage page;
  std::string output;
  const std::string base = folder + "page";
  if (RunCommand({"pdftoppm", "-r", std::to_string(dpi), "-gray", "-f", "1", "-l", "1",
                  "-singlefile", pdf, base},
                 &output) != 0)
    return page;
  const std::string pgm = testing_support::ReadFile(base + ".pgm");
  // P5 <width> <height> 255 and one blank, then the samples.
  size_t at = 0;
  auto number = [&]() {
    while (at < pgm.size() && !isdigit(static_cast<unsigned char>(pgm[at]))) ++at;
    int value = 0;
    while (at < pgm.size() && isdigit(static_cast<unsigned char>(pgm[at])))
      value = value * 10 + (pgm[at++] - '0');
    return value;
  };
  at = 2;
  page.width = number();
  page.height = number();
  number();
  page.samples = pgm.substr(at + 1);
  if (page.samples.size() != size_t(page.width) * page.height) page = {};
  return page;
}

// One field of pdfinfo's report ("Pages", "Page size"), blanks trimmed.
std::string PdfInfo(const std::filesystem::path& pdf, const std::string& field) {
  std::string output;
  RunCommand({"pdfinfo", pdf.string()}, &output);
  const size_t at = output.find("\n" + field + ":");
  if (at == std::string::npos) return "";
  const size_t start = output.find_first_not_of(' ', at + field.size() + 2);
  return output.substr(start, output.find('\n', start) - start);
}

class CupsPrint : public ::testing::Test {
protected:
  void SetUp() override {
    SKIP_UNLESS_PRIVATE_SPOOLER_CAN_RUN();
    ASSERT_TRUE(spooler_.Ready()) << spooler_.Problem();
    spooler_.UseFromThisProcess();
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    SetProgramFolder(home_.folder());
    ReplaceConfiguration(PrintConfiguration{});
    ReplaceFilm2paper(Film2paper{});
  }
  void TearDown() override {
    ReplaceConfiguration(PrintConfiguration{});
    ReplaceFilm2paper(Film2paper{});
  }
  // Waits until the scheduler reports the job completed.
  int FinalJobState(int id) {
    int state = -1;
    for (int i = 0; i < 100 && state != 9; ++i) {
      state = spooler_.JobState(id);
      if (state != 9) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return state;
  }

  PrivateSpooler spooler_;
  TempDir home_;
  TempDir config_;
  LogCapture log_;
};

TEST_F(CupsPrint, FilmArrivesAsPdfWithItsOptions) {
  PrintConfiguration config;
  config.EnableHeaders = true;
  config.Header = "CORVANEL TEST HEADER";
  config.Footer = "Not for Diagnostic Use";
  ReplaceConfiguration(config);

  auto film = Film(1, 1, 0);
  film->ImageBoxes.push_back(Image(512, 512, true));
  film->Color = true;
  film->ColorPrinting = 2; // BLACK&WHITE
  film->PaperChoice = 1;   // A4
  film->Copies = 2;
  film->BorderDensity = "BLACK";
  ASSERT_EQ(film->Print("corvtest"), 0) << log_.All() << spooler_.ErrorLog();
  ASSERT_TRUE(spooler_.WaitForJob(1)) << spooler_.ErrorLog();
  EXPECT_EQ(FinalJobState(1), 9);

  const std::string options = spooler_.JobOptions(1);
  EXPECT_NE(options.find("title=Corvanel_"), std::string::npos) << options;
  EXPECT_NE(options.find("print-color-mode=monochrome"), std::string::npos) << options;
  EXPECT_NE(options.find("PageSize=A4"), std::string::npos) << options;
  EXPECT_EQ(PdfInfo(spooler_.JobPdf(1), "Pages"), "2"); // one per copy
  EXPECT_EQ(PdfInfo(spooler_.JobPdf(1), "Page size"), "595 x 842 pts (A4)");

  std::string text;
  RunCommand({"pdftotext", spooler_.JobPdf(1).string(), "-"}, &text);
  EXPECT_NE(text.find("CORVANEL TEST HEADER"), std::string::npos) << text;
  EXPECT_NE(text.find("Not for Diagnostic Use"), std::string::npos) << text;

  // At 72 dpi one pixel is one point: margins of 18 (sides) and 36 (top and
  // bottom) points, header and footer bands of 5 % of the 770 point printable
  // height, and between them the film, whose square image spans the 559 point
  // printable width from y = 141 to 700.
  const GreyPage page = RenderFirstPage(spooler_.JobPdf(1).string(), home_.folder(), 72);
  ASSERT_EQ(page.width, 595);
  ASSERT_EQ(page.height, 842);
  auto image = [&page](int x, int y) { return page.At(x, y) > 20 && page.At(x, y) < 200; };
  EXPECT_EQ(page.At(297, 18), 255); // top margin
  EXPECT_EQ(page.At(15, 300), 255); // left margin
  EXPECT_EQ(page.At(580, 300), 255); // right margin
  EXPECT_TRUE(image(20, 300));
  EXPECT_TRUE(image(575, 300));
  EXPECT_TRUE(image(297, 150));
  EXPECT_TRUE(image(297, 690));
  EXPECT_GT(page.At(297, 120), 240); // the film's cell above the image
  int darkInHeader = 0;
  for (int y = 36; y < 36 + 38; ++y)
    for (int x = 18; x < 577; ++x) darkInHeader += page.At(x, y) < 128;
  EXPECT_GT(darkInHeader, 50); // the header text
}

TEST_F(CupsPrint, CustomPaperAndLandscape) {
  Film2paper table;
  table.Film14x17 = PaperDefined;
  table.DefWidth = 356;
  table.DefHeight = 432;
  ReplaceFilm2paper(table);
  auto film = Film(2, 1);
  film->FilmOrientation = "LANDSCAPE";
  film->ColorPrinting = 1; // COLOR
  ASSERT_EQ(film->Print("corvtest"), 0) << log_.All() << spooler_.ErrorLog();
  ASSERT_TRUE(spooler_.WaitForJob(1)) << spooler_.ErrorLog();
  EXPECT_EQ(FinalJobState(1), 9);
  const std::string options = spooler_.JobOptions(1);
  EXPECT_NE(options.find("media=custom_356x432mm_356x432mm"), std::string::npos) << options;
  EXPECT_NE(options.find("print-color-mode=color"), std::string::npos) << options;
  EXPECT_NE(options.find("orientation-requested=4"), std::string::npos) << options;
  // The landscape page arrives turned onto the 356 x 432 mm sheet.
  EXPECT_EQ(PdfInfo(spooler_.JobPdf(1), "Pages"), "1");
  EXPECT_EQ(PdfInfo(spooler_.JobPdf(1), "Page size"), "1224 x 1009 pts");
  EXPECT_EQ(PdfInfo(spooler_.JobPdf(1), "Page rot"), "270");
  EXPECT_TRUE(log_.Has("INFO, After PaperSize: DEFINED: 356mm x 432mm")) << log_.All();
  EXPECT_TRUE(log_.Has("INFO, After Color: color")) << log_.All();
  // 14 x 17 in less the margins at 600 dpi, turned.
  EXPECT_TRUE(log_.Has("PageWidth=9604, PageHeight=8109")) << log_.All();
}

TEST_F(CupsPrint, UnsupportedPaperFallsBackToTheQueueDefault) {
  auto film = Film(1, 1);
  film->PaperChoice = 5; // LEGAL: the test queue has no legal paper
  ASSERT_EQ(film->Print("corvtest"), 0) << log_.All();
  ASSERT_TRUE(spooler_.WaitForJob(1)) << spooler_.ErrorLog();
  EXPECT_TRUE(log_.Has("WARNING, corvtest does not offer the paper na_legal_8.5x14in, the "
                       "queue's default is used"));
  EXPECT_TRUE(log_.Has("INFO, After PaperSize: A4")) << log_.All();
  EXPECT_EQ(PdfInfo(spooler_.JobPdf(1), "Page size"), "595 x 842 pts (A4)");
}

TEST_F(CupsPrint, MissingQueueAndStoppedSpooler) {
  EXPECT_EQ(ListPrinters(), std::vector<std::string>{"corvtest"}); // the dialogs' choice
  EXPECT_EQ(Film(1, 1)->Print("nosuchqueue"), 0x0406) << log_.All();
  EXPECT_TRUE(log_.Has("ERROR, FilmBox::Print::CreateDC failed, Printer Name=nosuchqueue, "
                       "status=1030"))
      << log_.All();

  spooler_.Stop();
  const int status = Film(1, 1)->Print("corvtest");
  EXPECT_NE(status, 0);
  EXPECT_TRUE(log_.Has("ERROR, FilmBox::Print::CreateDC failed, Printer Name=corvtest"))
      << log_.All();
  EXPECT_TRUE(ListPrinters().empty());
  // Files are still written.
  EXPECT_EQ(Film(1, 1)->Print("JPEG"), 0) << log_.All();
}

} // namespace
