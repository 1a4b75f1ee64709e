#include "render/composition.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "frame/event_log.h"
#include "print/film_box.h"
#include "render/cell_drawing.h"
#include "render/image_adjustments.h"
#include "render/text_label.h"

namespace {

void LogInfo(const std::string& line) {
  if (LogEnabled(1)) WriteLog(line);
}

std::string Serial(const FilmBox& filmBox) { return "S#" + std::to_string(filmBox.SerialNumber); }

// Truncates towards zero and keeps the low 16 bits, as the 16-bit cell sizes of
// true-size printing are computed; values that are no finite number give 0.
uint16_t TruncWord(double value) {
  if (!std::isfinite(value) || std::fabs(value) >= 9.0e18) return 0;
  return static_cast<uint16_t>(static_cast<long long>(value));
}

bool HasPixels(const ImageBox& box) {
  return box.Rows != 0 && box.Columns != 0 && box.BitsStored != 0 &&
         box.Pixels.size() >= size_t{box.Rows} * box.Columns * (box.IsRGB ? 3u : 1u);
}

bool HasRequestedSize(const ImageBox& box) {
  return std::isfinite(box.RequestedImageSize) && box.RequestedImageSize > 0;
}

// Renders the image box's pixels fitted into a w x h work buffer (prefilled).
void FitIntoBuffer(const ImageBox& box, int w, int h, bool white, std::vector<uint8_t>& buf) {
  const uint8_t fill = white ? 255 : 0;
  buf.assign(size_t(w) * h * (box.IsRGB ? 3 : 1), fill);
  FitResample(box.Pixels.data(), box.Columns, box.Rows, buf.data(), w, h, box.IsRGB, fill);
}

Raster NewRaster(bool color, int w, int h, RGBColor colour) {
  return color ? NewColorRaster(w, h, colour) : NewGreyRaster(w, h, colour);
}

// Inverts every channel of the pixels in [x0, x1) x [y0, y1), clipped.
void InvertRect(Raster& raster, int x0, int y0, int x1, int y1) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, raster.width);
  y1 = std::min(y1, raster.height);
  const int bpp = raster.BytesPerPixel();
  for (int y = y0; y < y1; ++y) {
    uint8_t* row = raster.Row(y);
    for (int i = x0 * bpp; i < x1 * bpp; ++i) row[i] ^= 0xff;
  }
}

// Pen lines of the given width from a start point to an end point that is not
// drawn, in either direction: horizontal from (xa, y) to xb, vertical from
// (x, ya) to yb.
void InvertHorizontal(Raster& r, int xa, int xb, int y, int pen) {
  const int top = y - pen / 2;
  if (xa <= xb)
    InvertRect(r, xa, top, xb, top + pen);
  else
    InvertRect(r, xb + 1, top, xa + 1, top + pen);
}
void InvertVertical(Raster& r, int x, int ya, int yb, int pen) {
  const int left = x - pen / 2;
  if (ya <= yb)
    InvertRect(r, left, ya, left + pen, yb);
  else
    InvertRect(r, left, yb + 1, left + pen, ya + 1);
}

} // namespace

bool IsFileDestination(const std::string& destination) {
  return destination == "JPEG" || destination == "PDF" || destination == "PACS";
}

FilmPage FilePageGeometry(const FilmBox& filmBox) {
  FilmPage page;
  page.width = 799 * filmBox.Columns;
  page.height = 800 * filmBox.Rows;
  if (filmBox.Columns * filmBox.Rows == 1 && filmBox.ImageBoxes.size() == 1) {
    const ImageBox& box = *filmBox.ImageBoxes.front();
    if (box.Columns > 799 && box.Rows > 800) {
      page.width = box.Columns;
      page.height = box.Rows;
    }
  }
  return page;
}

void ComputeComposition(const FilmBox&, const std::string& destination, const FilmPage& page,
                        bool enableHeaders, FilmComposition& composition) {
  int usableHeight = page.height;
  if (enableHeaders && destination != "JPEG") usableHeight -= page.height / 10;
  composition.width = page.hdpi > 0 ? static_cast<int>(page.width * double(kCompositionDpi) / page.hdpi) : 0;
  composition.height =
      page.vdpi > 0 ? static_cast<int>(usableHeight * double(kCompositionDpi) / page.vdpi) : 0;
}

RGBColor DensityColor(const std::string& density) {
  if (density.empty() || density == "WHITE") return kWhite;
  if (density == "BLACK") return kBlack;
  // A decimal integer (blanks around it allowed); anything else reads as 0.
  const size_t first = density.find_first_not_of(' ');
  const size_t last = density.find_last_not_of(' ');
  if (first == std::string::npos) return kBlack;
  const std::string number = density.substr(first, last - first + 1);
  size_t at = number[0] == '-' || number[0] == '+' ? 1 : 0;
  if (at == number.size()) return kBlack;
  long long n = 0;
  for (; at < number.size(); ++at) {
    if (number[at] < '0' || number[at] > '9') return kBlack;
    n = std::min(n * 10 + (number[at] - '0'), 1000LL);
  }
  if (number[0] == '-') n = 0;
  const uint8_t m = static_cast<uint8_t>(std::min(n, 255LL));
  return {m, m, m};
}

void ResolveFilmColors(const FilmBox& filmBox, FilmComposition& composition) {
  composition.border = DensityColor(filmBox.BorderDensity);
  composition.empty = DensityColor(filmBox.EmptyImageDensity);
  if (filmBox.BorderColor == 1) composition.border = kWhite;
  if (filmBox.BorderColor == 2) composition.border = kBlack;
  if (filmBox.EmptyImageColor == 1) composition.empty = kWhite;
  if (filmBox.EmptyImageColor == 2) composition.empty = kBlack;
  LogInfo(composition.border == kWhite ? "INFO, BorderColor=clWhite" : "INFO, BorderColor=clBlack");
}

float RuleGamma(const FilmBox& filmBox) {
  return static_cast<float>(filmBox.GammaIndex / 10.0 + 0.1);
}

int RuleValue(int index) {
  // Hand-edited rules may hold any number; far beyond +-10 the tables saturate.
  return static_cast<int>(std::clamp(10LL - index, -100000LL, 100000LL));
}

namespace {

bool GammaUsable(const FilmBox& filmBox, float gamma) {
  if (gamma >= 0.01f) return true;
  char text[32];
  std::snprintf(text, sizeof text, "%g", gamma);
  WriteLog("ERROR, " + Serial(filmBox) + ", gamma value is " + text);
  return false;
}

// The tone table and adjustments of the film box's rule for its cells.
struct RuleLook {
  uint8_t toneTable[256];
  CellLook look;
  explicit RuleLook(const FilmBox& filmBox) {
    const ToneTable table = BuildToneTable(RuleGamma(filmBox), RuleValue(filmBox.ContrastIndex));
    for (int i = 0; i < 256; ++i) toneTable[i] = static_cast<uint8_t>(table[i]);
    look.toneTable = toneTable;
    look.saturation = RuleValue(filmBox.SaturationIndex);
    look.filter = filmBox.FilterIndex;
  }
};

} // namespace

bool InitPrint(FilmBox& filmBox, const FilmComposition& composition, int hdpi, int vdpi) {
  if (!GammaUsable(filmBox, RuleGamma(filmBox))) return false;
  const bool white = composition.empty == kWhite;

  for (size_t i = 0; i < filmBox.ImageBoxes.size(); ++i) {
    ImageBox& box = *filmBox.ImageBoxes[i];
    box.Cell = {};
    int w, h;
    if (HasRequestedSize(box) && filmBox.TrueSizePrint && hdpi > 0 && vdpi > 0) {
      const double size = box.RequestedImageSize;
      w = TruncWord(TruncWord(hdpi * size / 25.4) * double(kCompositionDpi) / hdpi);
      box.TrueSizeScale = static_cast<float>(w * 100 / size);
      const double height = box.Rows * (size / box.Columns);
      h = TruncWord(TruncWord(vdpi * height / 25.4) * double(kCompositionDpi) / vdpi);
      LogInfo("INFO, True Size Printing: " + std::to_string(w) + "x" + std::to_string(h) +
              " pixels");
    } else {
      w = static_cast<uint16_t>(composition.width / std::max(filmBox.Columns, 1));
      h = static_cast<uint16_t>(composition.height / std::max(filmBox.Rows, 1));
    }
    if (!HasPixels(box)) continue;
    if (static_cast<long long>(w) * h > kMaxCellPixels) {
      WriteLog("ERROR, " + Serial(filmBox) + ", image box " + std::to_string(i + 1) +
               " is too large to print: " + std::to_string(w) + "x" + std::to_string(h) +
               " pixels");
      return false;
    }
    if (w < 1 || h < 1) continue;
    box.Cell = {w, h, static_cast<uint8_t>(white ? 255 : 0)};
    LogInfo(white ? "INFO, EmptyImageColor=clWhite" : "INFO, EmptyImageColor=clBlack");
  }
  return true;
}

namespace {

// Calls place(box, x, y, cellX, cellY, cw, ch) for each image box that DrawImage
// draws, in its order: the box's top left corner at (x, y), its grid cell at
// (cellX, cellY) with the cell pitch cw x ch.
template <typename Place>
void ForEachPlacedCell(const FilmBox& filmBox, int W, int H, int C, int R, Place place) {
  if (C < 1 || R < 1) return;
  const int cw = (W - (C + 1)) / C, ch = (H - (R + 1)) / R;
  const int ox = ((W - (C + 1)) % C) / 2, oy = ((H - (R + 1)) % R) / 2;
  for (int p = 0; p < R; ++p) {
    for (int j = 0; j < C; ++j) {
      const size_t position = size_t(C) * p + j;
      if (position >= filmBox.ImageBoxes.size()) return;
      const ImageBox& box = *filmBox.ImageBoxes[position];
      if (box.Cell.Empty() || !HasPixels(box)) continue;
      if (HasRequestedSize(box))
        place(box, (cw - box.Cell.Width) / 2 + (cw + 1) * j + 1,
              (ch - box.Cell.Height) / 2 + (ch + 1) * p + 1, j * cw, p * ch, cw, ch);
      else
        place(box, (cw + 1) * j + ox + 1, (ch + 1) * p + oy + 1, j * cw, p * ch, cw, ch);
    }
  }
}

} // namespace

Raster NewCompositionRaster(const FilmBox& filmBox, const FilmComposition& composition) {
  const int W = composition.width, H = composition.height;
  Raster raster = NewUnsetRaster(W, H, composition.color);
  if (raster.Empty()) return raster;
  // The parts of the cells on the raster, clipped as DrawCell clips them.
  struct Area {
    int x0, x1, y0, y1;
  };
  std::vector<Area> cells;
  ForEachPlacedCell(filmBox, W, H, filmBox.Columns, filmBox.Rows,
                    [&](const ImageBox& box, int x, int y, int, int, int, int) {
                      const Area area{std::max(x, 1), std::min(x + box.Cell.Width, W),
                                      std::max(y, 1), std::min(y + box.Cell.Height, H)};
                      if (area.x0 < area.x1 && area.y0 < area.y1) cells.push_back(area);
                    });
  const int bpp = raster.BytesPerPixel();
  std::vector<std::pair<int, int>> covered;
  for (int y = 0; y < H; ++y) {
    covered.clear();
    for (const Area& area : cells)
      if (y >= area.y0 && y < area.y1) covered.emplace_back(area.x0, area.x1);
    std::sort(covered.begin(), covered.end());
    uint8_t* row = raster.Row(y);
    int x = 0;
    for (const auto& [x0, x1] : covered) {
      if (x0 > x) FillPixels(raster, row + size_t(x) * bpp, x0 - x, composition.border);
      x = std::max(x, x1);
    }
    FillPixels(raster, row + size_t(x) * bpp, W - x, composition.border);
  }
  return raster;
}

void DrawImage(FilmBox& filmBox, Raster& raster, int W, int H, int C, int R) {
  RuleLook rule(filmBox);
  ForEachPlacedCell(filmBox, W, H, C, R,
                    [&](const ImageBox& box, int x, int y, int cellX, int cellY, int cw, int ch) {
                      rule.look.fill = box.Cell.Fill;
                      DrawCell(box, box.Cell.Width, box.Cell.Height, rule.look, raster, x, y);
                      if (filmBox.ScaleBar) DrawScaleBar(box, raster, cellX, cellY, cw, ch);
                    });
}

void DrawScaleBar(const ImageBox& imageBox, Raster& raster, int x0, int y0, int cw, int ch) {
  const double P = imageBox.TrueSizeScale;
  if (!HasRequestedSize(imageBox) || !(P >= 1) || !std::isfinite(P)) return;
  const int wholeP = static_cast<int>(std::min(P, 1.0e9));
  const int pen = std::max(ch / 500, 1);
  const double step = P / 10; // one centimetre

  // Horizontal bar with its ticks pointing up.
  const int hx = x0 + cw / 10, hy = y0 + ch * 95 / 100;
  const double hLength = (cw * 8 / wholeP) * P / 10;
  InvertHorizontal(raster, hx, hx + static_cast<int>(hLength), hy, pen);
  for (double offset = 0; offset <= hLength + 0.5; offset += step)
    InvertVertical(raster, hx + static_cast<int>(offset), hy - pen + 2, hy - ch / 100, pen);

  // Vertical bar with its ticks pointing left.
  const int vx = x0 + cw * 95 / 100, vy = y0 + ch / 10;
  const double vLength = (ch * 8 / wholeP) * P / 10;
  InvertVertical(raster, vx, vy, vy + static_cast<int>(vLength), pen);
  for (double offset = 0; offset <= vLength + 0.5; offset += step)
    InvertHorizontal(raster, vx - pen + 2, vx - ch / 100, vy + static_cast<int>(offset), pen);
}

CalibrationStep CalibrationCell(float gamma, int contrast, int k) {
  CalibrationStep step;
  // Base gamma 0.1 or 0.2 steps to 0 or below: such cells print at gamma 0.1.
  step.gamma = std::max(gamma + 0.2f * (k % 3 - 1), 0.1f);
  step.contrast = contrast + 2 * (k / 3 - 1);
  char label[64];
  std::snprintf(label, sizeof label, "gamma=%.1f, contrast=%d", step.gamma, step.contrast);
  step.label = label;
  return step;
}

void DrawCalibrationFilm(FilmBox& filmBox, const FilmComposition& composition, Raster& raster) {
  const float gamma = RuleGamma(filmBox);
  if (!GammaUsable(filmBox, gamma)) return;
  const int contrast = RuleValue(filmBox.ContrastIndex);
  if (filmBox.ImageBoxes.empty()) return;
  const ImageBox& box = *filmBox.ImageBoxes.front();
  if (!HasPixels(box)) return;
  const int w = raster.width / 3, h = raster.height / 3;
  if (w < 1 || h < 1) return;

  std::vector<uint8_t> buf;
  FitIntoBuffer(box, w, h, composition.empty == kWhite, buf);
  const int pw = (raster.width - 4) / 3, ph = (raster.height - 4) / 3;
  const int offsetX = (raster.width - 3 * pw - 4) / 2, offsetY = (raster.height - 3 * ph - 4) / 2;
  for (int k = 0; k < 9; ++k) {
    const CalibrationStep step = CalibrationCell(gamma, contrast, k);
    Raster cell = NewRaster(box.IsRGB, w, h, composition.empty);
    ApplyToneTable(buf.data(), BuildToneTable(step.gamma, step.contrast), cell);
    DrawTopLabel(cell, step.label, "Arial", w / 20);
    BlitRaster(raster, (k % 3) * (pw + 1) + offsetX + 1, (k / 3) * (ph + 1) + offsetY + 1, cell);
  }
}
