// FilmBox::Print on a printer, against a recording printer device: the job's
// settings, the page geometry with and without header and footer, the document
// name, and the answers when the queue or the spooler refuses.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/clock.h"
#include "frame/configuration.h"
#include "frame/program_folder.h"
#include "print/film_box.h"
#include "render/cups_printer.h"
#include "render/pdf_page.h"
#include "render/print_job.h"
#include "render/printer_device.h"
#include "render/printer_output.h"
#include "render_fixture.h"
#include "support/test_support.h"

namespace {

using render_test::Film;
using render_test::Image;
using render_test::LogCapture;
using testing_support::TempDir;

struct DrawnRaster {
  int x, y, width, height;
  Raster raster;
};
struct DrawnText {
  std::string text;
  DeviceRect rect;
  TextAlign align;
  int fontHeight;
};

// The steps at which the recording printer can refuse.
enum class Refuse { Nothing, Setup, StartDocument, StartPage, Draw, EndPage, EndDocument };

// What the printer saw; outlives the device so that its release can be checked.
struct PrinterRecord {
  std::vector<std::string> opened;
  PrintJobSettings settings;
  std::string documentName;
  std::vector<DrawnRaster> rasters;
  std::vector<DrawnText> texts;
  std::vector<std::string> steps;
  int open = 0; // devices not yet released
};

class RecordingPrinter final : public PrinterDevice {
public:
  RecordingPrinter(PrinterRecord& record, PrinterPage page, Refuse refuse)
      : record_(record), page_(page), refuse_(refuse) {
    ++record_.open;
  }
  ~RecordingPrinter() override { --record_.open; }

  bool Setup(const PrintJobSettings& settings) override {
    record_.settings = settings;
    return Step("Setup", Refuse::Setup);
  }
  PrinterPage Page() const override { return page_; }
  bool StartDocument(const std::string& documentName) override {
    record_.documentName = documentName;
    return Step("StartDocument", Refuse::StartDocument);
  }
  bool StartPage() override { return Step("StartPage", Refuse::StartPage); }
  int StretchRasterToDevice(int x, int y, int width, int height, const Raster& raster) override {
    record_.rasters.push_back({x, y, width, height, raster});
    return Step("Raster", Refuse::Draw) ? 0 : 87;
  }
  void DrawText(const std::string& text, const DeviceRect& rect, TextAlign align,
                int fontHeight) override {
    record_.texts.push_back({text, rect, align, fontHeight});
  }
  bool EndPage() override { return Step("EndPage", Refuse::EndPage); }
  bool EndDocument() override { return Step("EndDocument", Refuse::EndDocument); }

private:
  bool Step(const char* name, Refuse step) {
    record_.steps.push_back(name);
    return refuse_ != step;
  }
  PrinterRecord& record_;
  PrinterPage page_;
  Refuse refuse_;
};

constexpr PrinterPage kA4At600{4960, 7014, 600, 600};

class PrinterPrint : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    SetProgramFolder(home_.folder());
    SetClockForTesting([] { return Clock::from_time_t(1767323045); }); // 01-02 03:04:05
    ReplaceConfiguration(PrintConfiguration{});
    ReplaceFilm2paper(Film2paper{});
    SetPrintJobNumberForTesting(11);
    UsePrinter(kA4At600);
  }
  void TearDown() override {
    SetPrinterDeviceOpenerForTesting(nullptr);
    SetClockForTesting(nullptr);
    ReplaceConfiguration(PrintConfiguration{});
    ReplaceFilm2paper(Film2paper{});
  }
  void UsePrinter(PrinterPage page, Refuse refuse = Refuse::Nothing) {
    SetPrinterDeviceOpenerForTesting([this, page, refuse](const std::string& name, PrinterError&) {
      record_.opened.push_back(name);
      return std::make_unique<RecordingPrinter>(record_, page, refuse);
    });
  }
  void EnableHeaders() {
    PrintConfiguration config;
    config.EnableHeaders = true;
    config.Header = "Radiology \xc4rzte";
    config.Footer = "Not for Diagnostic Use";
    config.HeaderPos = 0;
    config.FooterPos = 2;
    ReplaceConfiguration(config);
  }
  // A 24-bit bitmap of width x height pixels, all one colour.
  void WriteBitmap(const std::string& name, int width, int height) {
    const int stride = (width * 3 + 3) / 4 * 4;
    std::string bmp(54 + size_t(stride) * height, '\0');
    auto put32 = [&bmp](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) bmp[at + i] = char(v >> (8 * i));
    };
    bmp[0] = 'B', bmp[1] = 'M';
    put32(2, uint32_t(bmp.size()));
    put32(10, 54), put32(14, 40), put32(18, width), put32(22, height);
    bmp[26] = 1, bmp[28] = 24;
    testing_support::WriteFile(home_.path() / name, bmp);
  }

  TempDir home_;
  TempDir config_;
  LogCapture log_;
  PrinterRecord record_;
};

TEST_F(PrinterPrint, FullPageWithoutHeaders) {
  auto film = Film(1, 1);
  EXPECT_EQ(film->Print("CT_ROOM"), 0) << log_.All();
  EXPECT_EQ(record_.opened, std::vector<std::string>{"CT_ROOM"});
  EXPECT_EQ(record_.open, 0);
  EXPECT_EQ(record_.documentName, "Corvanel_0102030405_12");
  ASSERT_EQ(record_.rasters.size(), 1u);
  const DrawnRaster& drawn = record_.rasters[0];
  EXPECT_EQ(drawn.raster.width, 2480);
  EXPECT_EQ(drawn.raster.height, 3507);
  EXPECT_EQ((std::vector<int>{drawn.x, drawn.y, drawn.width, drawn.height}),
            (std::vector<int>{0, 0, 4960, 7014}));
  EXPECT_TRUE(record_.texts.empty());
  EXPECT_EQ(record_.steps, (std::vector<std::string>{"Setup", "StartDocument", "StartPage",
                                                     "Raster", "EndPage", "EndDocument"}));
  EXPECT_TRUE(log_.Has("INFO, hdpi=600, vdpi=600, PageWidth=4960, PageHeight=7014"));
  EXPECT_TRUE(log_.Has("INFO, Header is not enabled"));
  EXPECT_TRUE(log_.Has("INFO, StretchDrawDIB status: 0"));
  EXPECT_FALSE(log_.Has("ERROR")) << log_.All();

  // The job number runs modulo 1000 into the document name.
  SetPrintJobNumberForTesting(999);
  EXPECT_EQ(Film(1, 1)->Print("CT_ROOM"), 0);
  EXPECT_EQ(record_.documentName, "Corvanel_0102030405_0");
}

TEST_F(PrinterPrint, HeaderAndFooterBands) {
  EnableHeaders();
  EXPECT_EQ(Film(1, 1)->Print("CT_ROOM"), 0) << log_.All();
  ASSERT_EQ(record_.rasters.size(), 1u);
  const DrawnRaster& drawn = record_.rasters[0];
  EXPECT_EQ(drawn.raster.height, 3156); // trunc(6313 * 300 / 600)
  EXPECT_EQ((std::vector<int>{drawn.x, drawn.y, drawn.width, drawn.height}),
            (std::vector<int>{0, 350, 4960, 6313}));
  ASSERT_EQ(record_.texts.size(), 2u);
  const DrawnText& header = record_.texts[0];
  EXPECT_EQ(header.text, "Radiology \xc4rzte");
  EXPECT_EQ((std::vector<int>{header.rect.left, header.rect.top, header.rect.right,
                              header.rect.bottom}),
            (std::vector<int>{0, 0, 4960, 350}));
  EXPECT_EQ(header.align, TextAlign::Left);
  EXPECT_EQ(header.fontHeight, 120); // a fifth of the resolution
  const DrawnText& footer = record_.texts[1];
  EXPECT_EQ(footer.text, "Not for Diagnostic Use");
  EXPECT_EQ((std::vector<int>{footer.rect.left, footer.rect.top, footer.rect.right,
                              footer.rect.bottom}),
            (std::vector<int>{0, 6664, 4960, 7014}));
  EXPECT_EQ(footer.align, TextAlign::Right);
  EXPECT_TRUE(log_.Has("INFO, Printing Header: Radiology \xc4rzte"));
  EXPECT_TRUE(log_.Has("INFO, Printing Footer: Not for Diagnostic Use"));
}

TEST_F(PrinterPrint, HeaderAndFooterBitmaps) {
  EnableHeaders();
  WriteBitmap("header.bmp", 200, 100); // 350 high, 700 wide, at the left
  WriteBitmap("footer.bmp", 9920, 100); // wider than the page: across it, 50 high
  EXPECT_EQ(Film(1, 1)->Print("CT_ROOM"), 0) << log_.All();
  ASSERT_EQ(record_.rasters.size(), 3u);
  auto rect = [](const DrawnRaster& d) { return std::vector<int>{d.x, d.y, d.width, d.height}; };
  EXPECT_EQ(rect(record_.rasters[0]), (std::vector<int>{0, 0, 700, 350}));
  EXPECT_EQ(record_.rasters[0].raster.width, 200);
  EXPECT_EQ(rect(record_.rasters[1]), (std::vector<int>{0, 350, 4960, 6313}));
  EXPECT_EQ(rect(record_.rasters[2]), (std::vector<int>{0, 6964, 4960, 50}));
  EXPECT_TRUE(record_.texts.empty());
  EXPECT_TRUE(log_.Has("INFO, Printing header.bmp at: xf=0, yf=0"));
  EXPECT_TRUE(log_.Has("INFO, Printing footer.bmp at: xf=0, yf=6964"));

  // A header bitmap wider than the page, centred: x = 0 across the page.
  PrintConfiguration config = *CurrentConfiguration();
  config.HeaderPos = 1;
  ReplaceConfiguration(config);
  WriteBitmap("header.bmp", 6000, 300);
  record_.rasters.clear();
  EXPECT_EQ(Film(1, 1)->Print("CT_ROOM"), 0) << log_.All();
  ASSERT_EQ(record_.rasters.size(), 3u);
  EXPECT_EQ(rect(record_.rasters[0]), (std::vector<int>{0, 0, 4960, 248})); // 300 * 4960 / 6000
}

TEST_F(PrinterPrint, ColourAndPaperOfTheJob) {
  struct Case {
    const char* name;
    int32_t colorPrinting;
    bool colorFilm;
    int32_t paperChoice;
    std::string filmSize;
    int32_t film14x17; // PAPER key 14INX17IN
    int expectedColorCode;
    int32_t expectedPaper;
  } cases[] = {
      {"CLIENT colour film", 0, true, 1, "14INX17IN", 0, 2, 9},
      {"BLACK&WHITE colour film", 2, true, 1, "14INX17IN", 0, 1, 9},
      {"DRIVER", 3, true, 1, "14INX17IN", 0, -1, 9},
      {"CLIENT paper A3", 0, false, 0, "A3", PaperDefined, 1, 8},
      {"CLIENT paper from PAPER DEFINED", 0, false, 0, "14INX17IN", PaperDefined, 1, 215},
      {"LETTER", 1, false, 2, "A3", PaperDefined, 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Film2paper table;
    table.Film14x17 = c.film14x17;
    table.DefWidth = 356;
    table.DefHeight = 432;
    ReplaceFilm2paper(table);
    record_.rasters.clear();
    auto film = Film(1, 1, 0);
    film->ImageBoxes.push_back(Image(64, 64, true));
    film->Color = c.colorFilm;
    film->ColorPrinting = c.colorPrinting;
    film->PaperChoice = c.paperChoice;
    film->FilmSizeID = c.filmSize;
    film->FilmOrientation = "LANDSCAPE";
    film->Copies = 3;
    EXPECT_EQ(film->Print("CT_ROOM"), 0) << log_.All();
    EXPECT_EQ(record_.settings.colorCode, c.expectedColorCode);
    EXPECT_EQ(record_.settings.paperCode, c.expectedPaper);
    EXPECT_EQ(record_.settings.customWidthMm, 356);
    EXPECT_EQ(record_.settings.customHeightMm, 432);
    EXPECT_EQ(record_.settings.orientation, 2);
    EXPECT_EQ(record_.settings.copies, 3);
    ASSERT_EQ(record_.rasters.size(), 1u);
    const Raster& raster = record_.rasters[0].raster;
    EXPECT_EQ(raster.color, c.expectedColorCode == 2);
    if (!raster.color) {
      // The colour image (R = x, G = y, B = 255 - x) printed as (R + G + B) div 3.
      bool greyOfColour = false;
      for (int y = 0; y < raster.height && !greyOfColour; ++y)
        for (int x = 0; x < raster.width; ++x)
          if (raster.Row(y)[x] != 255 && raster.Row(y)[x] != 0) greyOfColour = true;
      EXPECT_TRUE(greyOfColour);
    }
  }
  EXPECT_TRUE(log_.Has("INFO, Setting Paper Size to: DEFINED: 356mm x 432mm"));
  EXPECT_TRUE(log_.Has("INFO, Setting Paper Size to: A3"));
  EXPECT_TRUE(log_.Has("INFO, Setting Color Type to 1"));
}

TEST_F(PrinterPrint, TheDeviceIsReleasedAndRefusalsAreFailures) {
  struct Case {
    Refuse refuse;
    PrinterPage page;
    int status;
    const char* line;
  } cases[] = {
      {Refuse::Setup, kA4At600, 531, "ERROR, FilmBox::Print::SetPrinter failed, Printer Name=Q"},
      {Refuse::Nothing, {4960, 7014, 0, 600}, 531, "ERROR, Getting Device Capabilities: 0, 600"},
      {Refuse::Nothing, {0, 0, 600, 600}, 531, "no room for the film on the page"},
      {Refuse::StartDocument, kA4At600, 531, "ERROR, Couldn't StartDoc"},
      {Refuse::StartPage, kA4At600, 531, "ERROR, Couldn't StartPage"},
      {Refuse::Draw, kA4At600, 531, "ERROR: Status = 87"},
      {Refuse::EndPage, kA4At600, 531, "ERROR, EndPage"},
      {Refuse::EndDocument, kA4At600, 531, "ERROR, EndDoc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    UsePrinter(c.page, c.refuse);
    record_.steps.clear();
    EXPECT_EQ(Film(1, 1)->Print("Q"), c.status) << log_.All();
    EXPECT_EQ(record_.open, 0);
    EXPECT_TRUE(log_.Has(c.line)) << log_.All();
    if (c.refuse == Refuse::Draw || c.refuse == Refuse::StartPage) {
      // A page that was not drawn in full is never handed to the spooler.
      EXPECT_EQ(record_.steps.back(), c.refuse == Refuse::Draw ? "Raster" : "StartPage");
    }
  }
  EXPECT_TRUE(log_.Has("ERROR: Status = -1"));
}

TEST_F(PrinterPrint, QueueThatCannotBeOpened) {
  struct Case {
    int code;
    int status;
  } cases[] = {{0x0406, 0x0406}, {0x0503, 0x0503}, {0, 531}, {1, 531}, {0x10000, 531}};
  for (const Case& c : cases) {
    SetPrinterDeviceOpenerForTesting([&c](const std::string&, PrinterError& error) {
      error = {c.code, "The printer or class does not exist."};
      return std::unique_ptr<PrinterDevice>();
    });
    EXPECT_EQ(Film(1, 1)->Print("MISSING"), c.status);
  }
  EXPECT_TRUE(log_.Has("ERROR, FilmBox::Print::CreateDC failed, Printer Name=MISSING, status=1030, "
                       "The printer or class does not exist."));
  // "DICOM" and the file destinations never open a printer.
  record_.opened.clear();
  UsePrinter(kA4At600);
  EXPECT_EQ(Film(1, 1)->Print("DICOM"), 0);
  EXPECT_EQ(Film(1, 1)->Print("JPEG"), 0);
  EXPECT_TRUE(record_.opened.empty());
}

TEST_F(PrinterPrint, TestPageFitsBetweenHeaderAndFooter) {
  // A wide image takes the full width, centred in the 6313 high area below 350.
  Raster wide = NewGreyRaster(1000, 500, kWhite);
  auto device = std::make_unique<RecordingPrinter>(record_, kA4At600, Refuse::Nothing);
  EXPECT_EQ(PrintBitmap(*device, wide, "Corvanel Test Print", "", "/no/footer.bmp"), 0);
  ASSERT_EQ(record_.rasters.size(), 1u);
  auto rect = [](const DrawnRaster& d) { return std::vector<int>{d.x, d.y, d.width, d.height}; };
  EXPECT_EQ(rect(record_.rasters[0]), (std::vector<int>{0, 350 + (6313 - 2480) / 2, 4960, 2480}));
  ASSERT_EQ(record_.texts.size(), 2u);
  EXPECT_EQ(record_.texts[1].text, "/no/footer.bmp");
  EXPECT_EQ(record_.texts[1].fontHeight, 100); // a sixth of the resolution
  // A tall one the full height, centred across.
  record_.rasters.clear();
  EXPECT_EQ(PrintBitmap(*device, NewGreyRaster(500, 1000, kWhite), "T", "", ""), 0);
  EXPECT_EQ(rect(record_.rasters[0]), (std::vector<int>{(4960 - 3156) / 2, 350, 3156, 6313}));

  auto refusing = std::make_unique<RecordingPrinter>(record_, kA4At600, Refuse::EndDocument);
  EXPECT_EQ(PrintBitmap(*refusing, wide, "T", "", ""), -1);
  auto notStarted = std::make_unique<RecordingPrinter>(record_, kA4At600, Refuse::StartPage);
  EXPECT_EQ(PrintBitmap(*notStarted, wide, "T", "", ""), -1);
}

TEST(CupsJobOptions, MediaNamesAndColourModes) {
  const std::pair<int32_t, std::string> media[] = {
      {9, "iso_a4_210x297mm"},  {1, "na_letter_8.5x11in"},     {8, "iso_a3_297x420mm"},
      {3, "na_ledger_11x17in"}, {5, "na_legal_8.5x14in"},      {11, "iso_a5_148x210mm"},
      {70, "iso_a6_105x148mm"}, {63, "iso_a3-extra_322x445mm"}, {0, ""},
      {17, ""},
  };
  for (const auto& [code, name] : media) EXPECT_EQ(PwgMediaName(code, 356, 432), name) << code;
  EXPECT_EQ(PwgMediaName(215, 356, 432), "custom_356x432mm_356x432mm");
  EXPECT_EQ(PwgMediaName(215, 0, 432), ""); // no size configured: the queue's paper
  EXPECT_EQ(PrintColorMode(1), "monochrome");
  EXPECT_EQ(PrintColorMode(2), "color");
  EXPECT_EQ(PrintColorMode(-1), "");
  EXPECT_EQ(PrintColorMode(0), "");

  Film2paper table;
  table.DefWidth = 356;
  table.DefHeight = 432;
  ReplaceFilm2paper(table);
  EXPECT_EQ(PaperName(215), "DEFINED: 356mm x 432mm");
  EXPECT_EQ(PaperName(63), "A3+");
  EXPECT_EQ(PaperName(90), "12X11");
  EXPECT_EQ(PaperName(42), "42");
  ReplaceFilm2paper(Film2paper{});
}

} // namespace

namespace {

TEST(PdfPage, RasterAndLatin1TextOnTheSizedPage) {
  EXPECT_EQ(Latin1ToUtf8("R\xf6ntgen\t\x7f"), "R\xc3\xb6ntgen  ");
  TempDir folder;
  PdfPage page;
  ASSERT_TRUE(page.Begin(200, 100));
  Raster film = NewColorRaster(40, 20, RGBColor{255, 0, 0});
  EXPECT_EQ(page.DrawRaster(10, 40, 80, 40, film), 0);
  EXPECT_NE(page.DrawRaster(10, 40, 0, 40, film), 0); // nothing to stretch into
  EXPECT_NE(page.DrawRaster(10, 40, 80, 40, Raster{}), 0);
  page.DrawText("Kn\xe4" "ckebr\xf6t", 0, 0, 200, 30, 1, 20);
  ASSERT_TRUE(page.Finish());
  const std::string path = folder.folder() + "page.pdf";
  testing_support::WriteFile(path, page.Document());

  std::string output;
  ASSERT_EQ(testing_support::RunCommand({"pdfinfo", path}, &output), 0) << output;
  EXPECT_NE(output.find("Page size:       200 x 100 pts"), std::string::npos) << output;
  ASSERT_EQ(testing_support::RunCommand({"pdftotext", path, "-"}, &output), 0);
  EXPECT_NE(output.find("Kn\xc3\xa4" "ckebr\xc3\xb6t"), std::string::npos) << output;
  // At 72 dpi: the red raster in its rectangle, white around it.
  ASSERT_EQ(testing_support::RunCommand({"pdftoppm", "-r", "72", "-singlefile", path,
                                         folder.folder() + "page"},
                                        &output),
            0);
  const std::string ppm = testing_support::ReadFile(folder.folder() + "page.ppm");
  const std::string header = "P6\n200 100\n255\n";
  ASSERT_EQ(ppm.compare(0, header.size(), header), 0);
  auto pixel = [&](int x, int y) { return ppm.substr(header.size() + (size_t(y) * 200 + x) * 3, 3); };
  EXPECT_EQ(pixel(50, 60), std::string("\xff\x00\x00", 3));
  EXPECT_EQ(pixel(5, 60), std::string("\xff\xff\xff", 3));
  EXPECT_EQ(pixel(50, 90), std::string("\xff\xff\xff", 3));
}

} // namespace
