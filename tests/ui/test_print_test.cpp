// The test print: the built-in pattern, its tone table and the Print and Reset buttons.
#include <QImage>
#include <fstream>

#include "frame/event_log.h"
#include "ui/test_pattern.h"
#include "ui_test_support.h"

namespace ui_test {
namespace {

class TestPrintTest : public UiTest {};

Raster Pattern1000() {
  Raster raster = NewGreyRaster(1000, 1000, kWhite);
  DrawTestPattern(raster);
  return raster;
}

uint8_t At(const Raster &raster, int x, int y) { return raster.Row(y)[x]; }

TEST(TestPatternTest, CellsOfTheBuiltInPattern) {
  const Raster raster = Pattern1000();
  constexpr int n = 166, left = 2; // 6n = 996 centred in 1000 columns
  const auto p = [&](int x, int y) { return At(raster, left + x, y); };
  // Outside the pattern the raster stays white; below it too.
  EXPECT_EQ(At(raster, 1, 500), 255);
  EXPECT_EQ(At(raster, 998, 500), 255);
  EXPECT_EQ(At(raster, 500, 996), 255);
  // Line cells: one-pixel rows, one-pixel columns, pairs of rows and columns.
  EXPECT_EQ((std::vector{p(10, 0), p(10, 1), p(10, 2)}), (std::vector<uint8_t>{0, 255, 0}));
  EXPECT_EQ((std::vector{p(0, n + 9), p(1, n + 9)}), (std::vector<uint8_t>{0, 255}));
  EXPECT_EQ((std::vector{p(9, 5 * n), p(9, 5 * n + 1), p(9, 5 * n + 2)}),
            (std::vector<uint8_t>{0, 0, 255}));
  EXPECT_EQ((std::vector{p(1, 4 * n + 9), p(2, 4 * n + 9)}), (std::vector<uint8_t>{0, 255}));
  EXPECT_EQ((std::vector{p(5 * n, 5 * n), p(5 * n, 5 * n + 1)}), (std::vector<uint8_t>{0, 255}));
  EXPECT_EQ((std::vector{p(5 * n + 9, n), p(5 * n + 10, n)}), (std::vector<uint8_t>{0, 255}));
  EXPECT_EQ((std::vector{p(5 * n + 9, n + 4), p(5 * n + 9, 4 * n + 4)}),
            (std::vector<uint8_t>{0, 255}));
  EXPECT_EQ((std::vector{p(5 * n + 9, 1), p(5 * n + 9, 2)}), (std::vector<uint8_t>{0, 255}));
  // Ramps: up along row 0, down along row 5.
  EXPECT_EQ(p(n, n - 1), 0);
  EXPECT_EQ(p(n + 332, 5), 332 * 255 / 664);
  EXPECT_EQ(p(5 * n - 1, 5), 663 * 255 / 664);
  EXPECT_EQ(p(n, 5 * n + 5), 255);
  EXPECT_EQ(p(n + 100, 5 * n + 5), 564 * 255 / 664);
  // Sixteen patches from 255 to 0, a one-pixel margin left and right.
  for (int k = 0; k < 16; ++k) {
    const int x = (1 + k % 4) * n, y = (1 + k / 4) * n + n - 10;
    EXPECT_EQ(p(x + n / 2, y), 255 - 17 * k) << k;
    EXPECT_EQ(p(x + 1, y), 255 - 17 * k) << k;
    EXPECT_EQ(p(x + n - 2, y), 255 - 17 * k) << k;
    EXPECT_EQ(p(x, y), 127) << k;
    EXPECT_EQ(p(x + n - 1, y), 127) << k;
  }
  // Black and white cells with their near-black and near-white squares.
  for (const int column : {0, 5 * n}) {
    const int square = column + n / 4 + 1;
    EXPECT_EQ(p(column + 5, 2 * n + 5), 0);
    EXPECT_EQ(p(square + 1, 9 * n / 4), 12);
    EXPECT_EQ(p(square, 9 * n / 4), 0);
    EXPECT_EQ(p(square + n / 2 - 2, 9 * n / 4 + n / 2 - 1), 12);
    EXPECT_EQ(p(square + 1, 9 * n / 4 + n / 2), 0);
    EXPECT_EQ(p(column + 5, 3 * n + 5), 255);
    EXPECT_EQ(p(square + 1, 13 * n / 4), 242);
    EXPECT_EQ(p(column, 3 * n + 5), 127);
  }
}

TEST(TestPatternTest, EveryPatchCarriesAWhiteLabelOnGrey) {
  const Raster raster = Pattern1000();
  constexpr int n = 166;
  for (int r = 1; r <= 4; ++r)
    for (int k = 0; k < 4; ++k) {
      int grey = 0, white = 0;
      for (int y = n * r; y < n * r + 20; ++y)
        for (int x = n * (k + 1); x < n * (k + 1) + 30; ++x) {
          grey += At(raster, x, y) == 128;
          white += At(raster, x, y) >= 240;
        }
      EXPECT_GT(grey, 100) << r << "," << k;
      EXPECT_GT(white, 20) << r << "," << k;
    }
  QImage image(raster.pixels.data(), raster.width, raster.height, raster.width,
               QImage::Format_Grayscale8);
  const std::string folder = std::string(CORVANEL_BINARY_DIR) + "/ui-screenshots";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(image.save(QString::fromStdString(folder + "/test-pattern.png")));
}

TEST(TestPatternTest, ToneTables) {
  const ToneTable identity = TestPrintToneTable(1.0, kTestContrastZero);
  EXPECT_EQ(identity[255], 254);
  EXPECT_EQ(identity[127], 126);
  EXPECT_EQ(identity[0], 0);
  const ToneTable steepest = TestPrintToneTable(1.0, 0); // "+5": (319, -63)
  EXPECT_EQ(steepest[0], 0);
  EXPECT_EQ(steepest[255], 255);
  EXPECT_EQ(steepest[127], static_cast<int>(-63 + 127 * 382 / 256.0));
  const ToneTable flattest = TestPrintToneTable(1.0, 10); // "-5": (196, 63)
  EXPECT_EQ(flattest[0], 63);
  EXPECT_EQ(flattest[255], static_cast<int>(63 + 255 * 133 / 256.0));
  const ToneTable bright = TestPrintToneTable(2.0, kTestContrastZero);
  EXPECT_EQ(bright[64],
            static_cast<int>(static_cast<int>(std::sqrt(64 / 255.0) * 255 + 0.05) * 255 / 256.0));
}

TEST_F(TestPrintTest, PrintsThePatternThroughTheToneTable) {
  TTestPrint &dialog = CreateForms().testPrint;
  EXPECT_EQ(dialog.ComboPrinter->currentText(), "Laser A");
  EXPECT_EQ(dialog.Gamma->currentText(), "1.00");
  EXPECT_EQ(dialog.Contrast->currentText(), "0");
  EXPECT_EQ(dialog.Contrast->count(), 11);
  dialog.ComboPrinter->setCurrentIndex(1);
  dialog.show();
  dialog.BitBtn1->click();
  ASSERT_EQ(printed.size(), 1u);
  const PrintedPage &page = printed[0];
  EXPECT_EQ(page.printer, "Laser B");
  EXPECT_EQ(page.document, "Corvanel Test Print");
  EXPECT_EQ(page.header, "");
  EXPECT_EQ(page.footer, Home() + "footer.bmp");
  ASSERT_EQ(page.image.width, 1000);
  ASSERT_EQ(page.image.height, 1000);
  EXPECT_EQ(At(page.image, 0, 0), 254);            // white margin
  EXPECT_EQ(At(page.image, 2, 2 * 166 + 80), 126); // pattern background 127
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(TestPrintTest, APrinterThatCannotBeSetUpKeepsTheDialogOpen) {
  TTestPrint &dialog = CreateForms().testPrint;
  dialog.show();
  pageStatus = std::nullopt;
  dialog.BitBtn1->click();
  EXPECT_TRUE(dialog.isVisible());

  pageStatus = -1;
  dialog.BitBtn1->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(forms->mainForm.Memo1->toPlainText().contains("ERROR, PrintBitmap, status = -1"));
}

TEST_F(TestPrintTest, TheServersPrinterReportsAQueueItCannotOpen) {
  // No scheduler behind this socket: the queue cannot be opened.
  setenv("CUPS_SERVER", (Home() + "no-cups.sock").c_str(), 1);
  WriteIni();
  FormServices services;
  services.printers = [] { return std::vector<std::string>{"no-such-queue"}; };
  forms = std::make_unique<CorvanelForms>(services);
  ASSERT_TRUE(WaitUntil([this] { return forms->mainForm.Timer1->isActive(); }));
  forms->testPrint.show();
  forms->testPrint.BitBtn1->click();
  unsetenv("CUPS_SERVER");
  EXPECT_TRUE(forms->testPrint.isVisible());
  EXPECT_TRUE(forms->mainForm.Memo1->toPlainText().contains(
      "ERROR, Test Print, CreateDC failed, Printer Name=no-such-queue"));
}

TEST_F(TestPrintTest, ResetRestoresGammaAndContrast) {
  TTestPrint &dialog = CreateForms().testPrint;
  dialog.Gamma->setCurrentIndex(3);
  dialog.Contrast->setCurrentIndex(0);
  dialog.BitBtn2->click();
  EXPECT_EQ(dialog.Gamma->currentText(), "1.00");
  EXPECT_EQ(dialog.Contrast->currentText(), "0");
}

// A 2 x 1 bitmap of 24 bits per pixel, bottom-up.
void WriteColourBmp(const std::string &path) {
  const uint8_t pixels[8] = {255, 128, 0, 255, 255, 255, 0, 0}; // B,G,R B,G,R + padding
  std::string file = "BM";
  const auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i)
      file += static_cast<char>((v >> (8 * i)) & 0xff);
  };
  const auto put16 = [&](uint16_t v) {
    file += static_cast<char>(v & 0xff);
    file += static_cast<char>(v >> 8);
  };
  put32(54 + 8);
  put32(0);
  put32(54);
  put32(40);
  put32(2);
  put32(1);
  put16(1);
  put16(24);
  put32(0);
  put32(8);
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  file.append(reinterpret_cast<const char *>(pixels), sizeof pixels);
  testing_support::WriteFile(path, file);
}

TEST_F(TestPrintTest, ASmpteBitmapInColourPassesWholeThroughTheTable) {
  WriteColourBmp(Home() + "smpte.bmp");
  TTestPrint &dialog = CreateForms().testPrint;
  dialog.BitBtn1->click();
  ASSERT_EQ(printed.size(), 1u);
  const Raster &image = printed[0].image;
  ASSERT_EQ(image.width, 2);
  ASSERT_TRUE(image.color);
  // Every channel of every pixel: 255 -> 254, 128 -> 127, 0 -> 0.
  EXPECT_EQ(std::vector<uint8_t>(image.pixels.begin(), image.pixels.end()),
            (std::vector<uint8_t>{254, 127, 0, 254, 254, 254}));
}

} // namespace
} // namespace ui_test
