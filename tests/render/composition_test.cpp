#include "render/composition.h"

#include <gtest/gtest.h>

#include "print/film_box.h"
#include "render_fixture.h"

namespace {

using render_test::Film;
using render_test::Image;
using render_test::LogCapture;

FilmComposition Composed(const FilmBox& film, const std::string& destination, bool headers = false) {
  FilmComposition c;
  ComputeComposition(film, destination, FilePageGeometry(film), headers, c);
  return c;
}

TEST(ComputeComposition, FilePagesAndHeaders) {
  const auto film23 = Film(2, 3);
  EXPECT_EQ(FilePageGeometry(*film23).width, 1598);
  EXPECT_EQ(FilePageGeometry(*film23).height, 2400);
  FilmComposition c = Composed(*film23, "JPEG");
  EXPECT_EQ(c.width, 1598);
  EXPECT_EQ(c.height, 2400);
  EXPECT_EQ(Composed(*film23, "JPEG", true).height, 2400); // JPEG keeps the full height
  EXPECT_EQ(Composed(*film23, "PDF", true).height, 2160);  // 2400 - 240

  auto big = Film(1, 1, 0);
  big->ImageBoxes.push_back(Image(2000, 2500));
  EXPECT_EQ(Composed(*big, "PDF").width, 2000);
  EXPECT_EQ(Composed(*big, "PDF").height, 2500);
  auto wide = Film(1, 1, 0);
  wide->ImageBoxes.push_back(Image(2000, 700));
  EXPECT_EQ(Composed(*wide, "PDF").width, 799);
  EXPECT_EQ(Composed(*wide, "PDF").height, 800);

  // A 600 dpi printer with a printable area of 4960 x 7014.
  const FilmPage printer{4960, 7014, 600, 600};
  ComputeComposition(*film23, "Laser 1", printer, false, c);
  EXPECT_EQ(c.width, 2480);
  EXPECT_EQ(c.height, 3507);
  ComputeComposition(*film23, "Laser 1", printer, true, c);
  EXPECT_EQ(c.height, 3156);
}

TEST(FilmColors, DensitiesAndRuleOverride) {
  struct Case {
    const char* density;
    uint8_t grey;
  } cases[] = {{"150", 150}, {"300", 255}, {"WHITE", 255}, {"BLACK", 0}, {"", 255},
               {"0", 0},     {"abc", 0},   {"-20", 0},     {"99999999999999999999", 255}};
  for (const Case& c : cases) {
    EXPECT_EQ(DensityColor(c.density), (RGBColor{c.grey, c.grey, c.grey})) << c.density;
  }
  LogCapture log;
  auto film = Film(1, 1, 0);
  film->BorderDensity = "WHITE";
  film->EmptyImageDensity = "BLACK";
  FilmComposition c;
  ResolveFilmColors(*film, c);
  EXPECT_EQ(c.border, kWhite);
  EXPECT_EQ(c.empty, kBlack);
  EXPECT_TRUE(log.Has("INFO, BorderColor=clWhite"));
  film->BorderColor = 2;
  film->EmptyImageColor = 1;
  ResolveFilmColors(*film, c);
  EXPECT_EQ(c.border, kBlack);
  EXPECT_EQ(c.empty, kWhite);
  EXPECT_TRUE(log.Has("INFO, BorderColor=clBlack"));
}

TEST(InitPrint, CellRastersAndEmptyImageMargins) {
  LogCapture log;
  auto film = Film(2, 3, 5);
  film->ImageBoxes.push_back(render_test::EmptyImage());
  FilmComposition c = Composed(*film, "JPEG");
  ASSERT_TRUE(InitPrint(*film, c, 300, 300));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(film->ImageBoxes[i]->Raster.width, 799);
    EXPECT_EQ(film->ImageBoxes[i]->Raster.height, 800);
  }
  EXPECT_TRUE(film->ImageBoxes[5]->Raster.Empty());
  // The 512-square image fills the 799-wide cell; row 0 is fill, white through
  // the tone table of gamma 1.0 and contrast 0 gives 254.
  EXPECT_EQ(film->ImageBoxes[0]->Raster.Row(0)[400], 254);
  EXPECT_TRUE(log.Has("INFO, EmptyImageColor=clWhite"));

  // A wide image with Empty Image Density "100": the margins are black (fill 0).
  auto wide = Film(1, 1, 0);
  wide->ImageBoxes.push_back(Image(1000, 500));
  wide->EmptyImageDensity = "100";
  FilmComposition cw = Composed(*wide, "JPEG");
  ResolveFilmColors(*wide, cw);
  ASSERT_TRUE(InitPrint(*wide, cw, 300, 300));
  const Raster& r = wide->ImageBoxes[0]->Raster;
  EXPECT_EQ(r.Row(10)[400], 0);
  EXPECT_EQ(r.Row(790)[400], 0);
  EXPECT_TRUE(log.Has("INFO, EmptyImageColor=clBlack"));
}

TEST(InitPrint, TrueSizeCellsAndScale) {
  LogCapture log;
  auto film = Film(1, 1);
  film->TrueSizePrint = true;
  film->ImageBoxes[0]->RequestedImageSize = 100;
  FilmComposition c;
  ComputeComposition(*film, "Laser", {4960, 7014, 600, 600}, false, c);
  ASSERT_TRUE(InitPrint(*film, c, 600, 600));
  EXPECT_EQ(film->ImageBoxes[0]->Raster.width, 1181);
  EXPECT_EQ(film->ImageBoxes[0]->Raster.height, 1181);
  EXPECT_FLOAT_EQ(film->ImageBoxes[0]->TrueSizeScale, 1181);
  EXPECT_TRUE(log.Has("INFO, True Size Printing: 1181x1181 pixels"));

  // True size on without a requested size: fitted into the grid cell.
  auto fitted = Film(1, 1);
  fitted->TrueSizePrint = true;
  FilmComposition cf = Composed(*fitted, "JPEG");
  ASSERT_TRUE(InitPrint(*fitted, cf, 300, 300));
  EXPECT_EQ(fitted->ImageBoxes[0]->Raster.width, 799);
  EXPECT_EQ(fitted->ImageBoxes[0]->TrueSizeScale, 0);

  // A requested size far beyond any film is refused, not allocated (5 m gives
  // 59055 x 59055 pixels); one that is no usable number gives an empty cell.
  auto huge = Film(1, 1);
  huge->TrueSizePrint = true;
  huge->ImageBoxes[0]->RequestedImageSize = 5000;
  EXPECT_FALSE(InitPrint(*huge, cf, 300, 300));
  EXPECT_TRUE(log.Has("ERROR, S#" + std::to_string(huge->SerialNumber) + ", image box 1 is too large"));
  huge->ImageBoxes[0]->RequestedImageSize = 1e30f;
  EXPECT_TRUE(InitPrint(*huge, cf, 300, 300));
  EXPECT_TRUE(huge->ImageBoxes[0]->Raster.Empty());
}

TEST(InitPrint, BadGammaIsRefused) {
  LogCapture log;
  auto film = Film(1, 1);
  film->SerialNumber = 42;
  film->GammaIndex = -1;
  FilmComposition c = Composed(*film, "JPEG");
  EXPECT_FALSE(InitPrint(*film, c, 300, 300));
  EXPECT_TRUE(log.Has("ERROR, S#42, gamma value is ")) << log.All();
}

TEST(DrawImage, GridPlacementAndBorders) {
  auto film = Film(2, 3, 4);
  film->BorderDensity = "BLACK";
  FilmComposition c = Composed(*film, "JPEG");
  ResolveFilmColors(*film, c);
  ASSERT_TRUE(InitPrint(*film, c, 300, 300));
  // Mark the cell rasters so the placement can be read back.
  for (int i = 0; i < 4; ++i) film->ImageBoxes[i]->Raster = NewGreyRaster(799, 800, {uint8_t(10 + i), uint8_t(10 + i), uint8_t(10 + i)});
  Raster page = NewGreyRaster(c.width, c.height, c.border);
  DrawImage(*film, page, c.width, c.height, 2, 3);
  // cw = 797, ch = (2400 - 4) / 3 = 798, ox = 0, oy = (2396 % 3) / 2 = 1.
  EXPECT_EQ(page.Row(0)[5], 0);        // row 0 never written
  EXPECT_EQ(page.Row(2)[0], 0);        // column 0 never written
  EXPECT_EQ(page.Row(2)[1], 10);       // image 0 starts at (1, 2)
  EXPECT_EQ(page.Row(2)[798], 10);     // image 0 is 799 wide
  EXPECT_EQ(page.Row(2)[799], 11);     // image 1 at x = 798 + 0 + 1 = 799 overwrites it
  EXPECT_EQ(page.Row(800)[5], 10);     // image 0 reaches down to 801
  EXPECT_EQ(page.Row(801)[1], 12);     // row 1 at y = 799 + 1 + 1 = 801
  EXPECT_EQ(page.Row(1700)[5], 0);     // third row: the list has no image boxes for it
  EXPECT_EQ(page.Row(2399)[1597], 0);
}

TEST(DrawImage, TrueSizeImagesAreCentredWithScaleBars) {
  auto film = Film(1, 1);
  film->TrueSizePrint = true;
  film->ScaleBar = true;
  film->ImageBoxes[0]->RequestedImageSize = 50;
  FilmComposition c = Composed(*film, "JPEG");
  ResolveFilmColors(*film, c);
  ASSERT_TRUE(InitPrint(*film, c, 300, 300));
  const Raster& cell = film->ImageBoxes[0]->Raster;
  EXPECT_EQ(cell.width, 590); // trunc(300 x 50 / 25.4)
  const float P = film->ImageBoxes[0]->TrueSizeScale;
  EXPECT_NEAR(P, 1180, 0.01);
  Raster page = NewGreyRaster(c.width, c.height, kWhite);
  DrawImage(*film, page, c.width, c.height, 1, 1);
  // cw = 797, ch = 798: the cell's image starts at x = (797 - 590) / 2 + 1 = 104.
  EXPECT_NE(page.Row(400)[104], 255);
  EXPECT_EQ(page.Row(400)[100], 255);

  // The horizontal bar lies at y = 798 x 95 / 100 = 758 from x = 79, pen width 1,
  // length (797 x 8 / 1180) x P / 10 = 5 cm (590 pixels).
  const int y = 758, x = 79;
  EXPECT_EQ(page.Row(y)[x + 300], 0);            // white border inverted to black
  EXPECT_EQ(page.Row(y)[x + 589], 0);
  EXPECT_EQ(page.Row(y)[x + 591], 255);
  EXPECT_EQ(page.Row(y + 1)[x + 300], 255);
  // Ticks every P / 10 pixels reach up to y - ch / 100 = 751.
  for (int tick = 0; tick <= 5; ++tick) {
    const int tx = x + static_cast<int>(tick * P / 10);
    EXPECT_EQ(page.Row(752)[tx], 0) << "tick " << tick;
    EXPECT_EQ(page.Row(752)[tx + 2], 255) << "tick " << tick;
  }
}

TEST(DrawScaleBar, TicksEveryCentimetreOfA300DpiCell) {
  // P = 1181 pixels per 100 mm: ticks every 118.1 pixels, at 0, 118, 236, 354 ...
  ImageBox box;
  box.RequestedImageSize = 100;
  box.TrueSizeScale = 1181;
  Raster page = NewGreyRaster(2000, 2000, kWhite);
  DrawScaleBar(box, page, 0, 0, 1500, 1500);
  const int y = 1500 * 95 / 100, x = 150, pen = 3; // pen = 1500 / 500
  std::vector<int> ticks;
  for (int px = 0; px < 2000; ++px)
    if (page.Row(y - 10)[px] == 0) ticks.push_back(px);
  // Each tick is pen-wide around x + trunc(k x 118.1); f = 1500 x 8 / 1181 = 10 cm.
  ASSERT_EQ(ticks.size(), 11u * pen) << "ticks";
  for (int k = 0; k <= 10; ++k) EXPECT_EQ(ticks[k * pen] + pen / 2, x + int(k * 118.1)) << k;
  ImageBox fitted; // no requested size: no bars
  Raster untouched = NewGreyRaster(100, 100, kWhite);
  DrawScaleBar(fitted, untouched, 0, 0, 100, 100);
  for (uint8_t v : untouched.pixels) ASSERT_EQ(v, 255);
}

TEST(Calibration, CellLabelsAndClampedGamma) {
  auto film = Film(3, 3, 1);
  const float g = RuleGamma(*film); // index 9: 1.0
  EXPECT_EQ(CalibrationCell(g, RuleValue(10), 0).label, "gamma=0.8, contrast=-2");
  EXPECT_EQ(CalibrationCell(g, RuleValue(10), 4).label, "gamma=1.0, contrast=0");
  EXPECT_EQ(CalibrationCell(g, RuleValue(10), 8).label, "gamma=1.2, contrast=2");
  for (int index : {0, 1}) {
    const float low = static_cast<float>(index / 10.0 + 0.1);
    EXPECT_FLOAT_EQ(CalibrationCell(low, 0, 0).gamma, 0.1f) << index;
    EXPECT_EQ(CalibrationCell(low, 0, 3).label, "gamma=0.1, contrast=0");
  }
}

TEST(Calibration, DrawsNineLabelledCells) {
  auto film = Film(3, 3, 1);
  film->CalibrationFilm = true;
  film->GammaIndex = 0; // base gamma 0.1: the left column steps below 0
  FilmComposition c = Composed(*film, "JPEG");
  ResolveFilmColors(*film, c);
  Raster page = NewGreyRaster(c.width, c.height, c.border);
  DrawCalibrationFilm(*film, c, page);
  const int pw = (page.width - 4) / 3, ph = (page.height - 4) / 3;
  // Cells 0 and 1 both print at gamma 0.1: the same pixels below the label.
  for (int y = 200; y < 700; y += 50) {
    for (int x = 10; x < 700; x += 50) {
      ASSERT_EQ(page.Row(y + 1)[x + 1], page.Row(y + 1)[x + pw + 2]) << x << "," << y;
    }
  }
  // Each label is white text on a black box at the top centre of its cell.
  for (int k = 0; k < 9; ++k) {
    const int x0 = (k % 3) * (pw + 1) + 1, y0 = (k / 3) * (ph + 1) + 1;
    int black = 0, white = 0;
    for (int y = y0 + 2; y < y0 + 30; ++y)
      for (int x = x0 + pw / 2 - 150; x < x0 + pw / 2 + 150; ++x) {
        black += page.Row(y)[x] == 0;
        white += page.Row(y)[x] == 255;
      }
    EXPECT_GT(black, 1000) << k;
    EXPECT_GT(white, 50) << k;
  }
}

} // namespace
