#include "render/composition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

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

TEST(InitPrint, CellsAndEmptyImageMargins) {
  LogCapture log;
  auto film = Film(2, 3, 5);
  film->ImageBoxes.push_back(render_test::EmptyImage());
  FilmComposition c = Composed(*film, "JPEG");
  ASSERT_TRUE(InitPrint(*film, c, 300, 300));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(film->ImageBoxes[i]->Cell.Width, 799);
    EXPECT_EQ(film->ImageBoxes[i]->Cell.Height, 800);
  }
  EXPECT_TRUE(film->ImageBoxes[5]->Cell.Empty());
  EXPECT_TRUE(log.Has("INFO, EmptyImageColor=clWhite"));
  // The 512-square image fills the 799-wide cell at (1, 2); its row 0 is fill,
  // white through the tone table of gamma 1.0 and contrast 0 gives 254.
  Raster page = NewGreyRaster(c.width, c.height, {150, 150, 150});
  DrawImage(*film, page, c.width, c.height, 2, 3);
  EXPECT_EQ(page.Row(2)[401], 254);
  EXPECT_EQ(page.Row(1)[401], 150);

  // A wide image with Empty Image Density "100": the margins are black (fill 0).
  auto wide = Film(1, 1, 0);
  wide->ImageBoxes.push_back(Image(1000, 500));
  wide->EmptyImageDensity = "100";
  FilmComposition cw = Composed(*wide, "JPEG");
  ResolveFilmColors(*wide, cw);
  ASSERT_TRUE(InitPrint(*wide, cw, 300, 300));
  EXPECT_EQ(wide->ImageBoxes[0]->Cell.Fill, 0);
  Raster widePage = NewGreyRaster(cw.width, cw.height, cw.border);
  DrawImage(*wide, widePage, cw.width, cw.height, 1, 1);
  EXPECT_EQ(widePage.Row(11)[401], 0);
  EXPECT_EQ(widePage.Row(791)[401], 0);
  EXPECT_EQ(widePage.Row(0)[401], 255); // the white border
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
  EXPECT_EQ(film->ImageBoxes[0]->Cell.Width, 1181);
  EXPECT_EQ(film->ImageBoxes[0]->Cell.Height, 1181);
  EXPECT_FLOAT_EQ(film->ImageBoxes[0]->TrueSizeScale, 1181);
  EXPECT_TRUE(log.Has("INFO, True Size Printing: 1181x1181 pixels"));

  // True size on without a requested size: fitted into the grid cell.
  auto fitted = Film(1, 1);
  fitted->TrueSizePrint = true;
  FilmComposition cf = Composed(*fitted, "JPEG");
  ASSERT_TRUE(InitPrint(*fitted, cf, 300, 300));
  EXPECT_EQ(fitted->ImageBoxes[0]->Cell.Width, 799);
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
  EXPECT_TRUE(huge->ImageBoxes[0]->Cell.Empty());
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
  film->BorderDensity = "150";
  // Uniform images 40, 80, 120, 160: through the tone table 39, 79, 119, 159.
  for (int i = 0; i < 4; ++i) {
    auto& pixels = film->ImageBoxes[i]->Pixels;
    std::fill(pixels.begin(), pixels.end(), uint8_t(40 * (i + 1)));
  }
  FilmComposition c = Composed(*film, "JPEG");
  ResolveFilmColors(*film, c);
  ASSERT_TRUE(InitPrint(*film, c, 300, 300));
  Raster page = NewGreyRaster(c.width, c.height, c.border);
  DrawImage(*film, page, c.width, c.height, 2, 3);
  // cw = 797, ch = (2400 - 4) / 3 = 798, ox = 0, oy = (2396 % 3) / 2 = 1.
  EXPECT_EQ(page.Row(1)[5], 150);      // image 0 starts at (1, 2)
  EXPECT_EQ(page.Row(2)[0], 150);      // column 0 never written
  EXPECT_EQ(page.Row(2)[1], 254);      // the image's frame: white fill through the table
  EXPECT_EQ(page.Row(400)[2], 39);
  EXPECT_EQ(page.Row(400)[798], 39);   // image 0 is 799 wide, its last column frame
  EXPECT_EQ(page.Row(400)[800], 79);   // image 1 at x = 798 + 0 + 1 = 799
  EXPECT_EQ(page.Row(900)[400], 119);  // row 1 at y = 799 + 1 + 1 = 801
  EXPECT_EQ(page.Row(900)[1200], 159);
  EXPECT_EQ(page.Row(1700)[5], 150);   // third row: the list has no image boxes for it
  EXPECT_EQ(page.Row(2399)[1597], 150);
}

TEST(DrawImage, TrueSizeImagesAreCentredWithScaleBars) {
  auto film = Film(1, 1);
  film->TrueSizePrint = true;
  film->ScaleBar = true;
  film->ImageBoxes[0]->RequestedImageSize = 50;
  FilmComposition c = Composed(*film, "JPEG");
  ResolveFilmColors(*film, c);
  ASSERT_TRUE(InitPrint(*film, c, 300, 300));
  EXPECT_EQ(film->ImageBoxes[0]->Cell.Width, 590); // trunc(300 x 50 / 25.4)
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

TEST(NewCompositionRaster, BorderWhereverDrawImageDrawsNothing) {
  using render_test::EmptyImage;
  struct Case {
    const char* name;
    int columns, rows;
    bool colour;
    std::function<void(FilmBox&)> setUp;
  };
  const Case cases[] = {
      {"grid with an image box without pixels and unfilled cells", 4, 4, false,
       [](FilmBox& film) {
         film.ImageBoxes.resize(13);
         film.ImageBoxes[5] = EmptyImage();
       }},
      {"colour and grey images, filtered, more image boxes than cells", 3, 2, true,
       [](FilmBox& film) {
         film.ImageBoxes[1] = Image(300, 200, true);
         film.ImageBoxes[4] = Image(100, 400, true);
         film.ImageBoxes.push_back(Image(64, 64));
         film.FilterIndex = 1;
         film.SaturationIndex = 7;
         film.BorderDensity = "WHITE";
       }},
      {"true-size images larger and smaller than their cells, with scale bars", 4, 4, false,
       [](FilmBox& film) {
         film.TrueSizePrint = true;
         film.ScaleBar = true;
         for (size_t i = 0; i < film.ImageBoxes.size(); ++i)
           film.ImageBoxes[i]->RequestedImageSize = i % 3 == 0 ? 120.0f : 40.0f;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto film = Film(c.columns, c.rows);
    film->BorderDensity = "150";
    c.setUp(*film);
    FilmComposition composition = Composed(*film, "JPEG");
    ResolveFilmColors(*film, composition);
    composition.color = c.colour;
    ASSERT_TRUE(InitPrint(*film, composition, 300, 300));
    Raster expected = c.colour ? NewColorRaster(composition.width, composition.height, composition.border)
                               : NewGreyRaster(composition.width, composition.height, composition.border);
    DrawImage(*film, expected, composition.width, composition.height, c.columns, c.rows);
    ASSERT_GE(expected.pixels.size(), size_t{8} << 20); // large enough to reuse freed storage
    // Storage freed by an earlier film is reused: poison it, so that any pixel
    // left unwritten shows.
    {
      Raster earlier = NewUnsetRaster(composition.width, composition.height, c.colour);
      std::fill(earlier.pixels.begin(), earlier.pixels.end(), uint8_t(0xA5));
    }
    Raster composed = NewCompositionRaster(*film, composition);
    DrawImage(*film, composed, composition.width, composition.height, c.columns, c.rows);
    EXPECT_TRUE(composed.pixels == expected.pixels);
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
