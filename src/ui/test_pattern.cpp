#include "ui/test_pattern.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <utility>

#include "frame/event_log.h"
#include "render/bmp_reader.h"

namespace {
// (hi, lo) stretch of the steps "-5" .. "+5": the flattest first.
constexpr std::array<std::pair<int, int>, kTestContrastSteps> kCurves{{{196, 63},
                                                                       {210, 50},
                                                                       {220, 40},
                                                                       {230, 30},
                                                                       {240, 20},
                                                                       {255, 0},
                                                                       {280, -23},
                                                                       {290, -33},
                                                                       {300, -43},
                                                                       {310, -53},
                                                                       {319, -63}}};

// The pattern square, 6n x 6n pixels, before it is copied into the raster.
class Pattern {
public:
  explicit Pattern(int n) : n_(n), side_(6 * n), pixels_(static_cast<size_t>(side_) * side_, 127) {}

  uint8_t &At(int x, int y) { return pixels_[static_cast<size_t>(y) * side_ + x]; }
  int Side() const { return side_; }
  uint8_t Get(int x, int y) const { return pixels_[static_cast<size_t>(y) * side_ + x]; }

  // Fills the cell (row, column) with value(x, y) of the cell's own coordinates.
  template <typename Value> void FillCell(int row, int column, Value value) {
    for (int y = 0; y < n_; ++y)
      for (int x = 0; x < n_; ++x)
        At(column * n_ + x, row * n_ + y) = static_cast<uint8_t>(value(x, y));
  }

  // A filled rectangle that leaves the first and last pixel of each row as
  // they are (the one-pixel margin of every patch and square).
  void Patch(int left, int top, int width, int height, uint8_t value) {
    for (int y = top; y < top + height; ++y)
      for (int x = left + 1; x < left + width - 1; ++x)
        At(x, y) = value;
  }

private:
  int n_;
  int side_;
  std::vector<uint8_t> pixels_;
};

// The decimal value as white text on a (128, 128, 128) box, its top left at (x, y).
void DrawLabel(Raster &raster, int x, int y, int value, int points) {
  QFont font("Arial");
  font.setPixelSize(std::max(1, points * 96 / 72));
  const QString text = QString::number(value);
  const QFontMetrics metrics(font);
  const QSize size(metrics.horizontalAdvance(text), metrics.height());
  QImage box(size, QImage::Format_RGB32);
  box.fill(QColor(128, 128, 128));
  {
    QPainter painter(&box);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignLeft | Qt::AlignTop, text);
  }
  for (int row = 0; row < size.height() && y + row < raster.height; ++row) {
    const QRgb *source = reinterpret_cast<const QRgb *>(box.constScanLine(row));
    uint8_t *target = raster.Row(y + row);
    for (int column = 0; column < size.width() && x + column < raster.width; ++column)
      target[x + column] = static_cast<uint8_t>(qGray(source[column]));
  }
}
} // namespace

void DrawTestPattern(Raster &raster) {
  if (raster.color || raster.Empty())
    return;
  const int n = (std::min(raster.width, raster.height) - 1) / 6;
  if (n < 1)
    return;
  Pattern pattern(n);
  const auto lines = [](int period) {
    return [period](int position) { return (position / period) % 2 == 0 ? 0 : 255; };
  };
  const auto single = lines(1);
  const auto pairs = lines(2);
  for (const auto &[row, column] : {std::pair{0, 0}, std::pair{5, 5}})
    pattern.FillCell(row, column, [&](int, int y) { return single(y); });
  for (const auto &[row, column] : {std::pair{1, 0}, std::pair{4, 5}})
    pattern.FillCell(row, column, [&](int x, int) { return single(x); });
  for (const auto &[row, column] : {std::pair{5, 0}, std::pair{0, 5}})
    pattern.FillCell(row, column, [&](int, int y) { return pairs(y); });
  for (const auto &[row, column] : {std::pair{4, 0}, std::pair{1, 5}})
    pattern.FillCell(row, column, [&](int x, int) { return pairs(x); });

  const int rampWidth = 4 * n;
  for (int y = 0; y < n; ++y)
    for (int i = 0; i < rampWidth; ++i) {
      pattern.At(n + i, y) = static_cast<uint8_t>(i * 255 / rampWidth);
      pattern.At(n + i, 5 * n + y) = static_cast<uint8_t>((rampWidth - i) * 255 / rampWidth);
    }

  for (int k = 0; k < 16; ++k)
    pattern.Patch((1 + k % 4) * n, (1 + k / 4) * n, n, n, static_cast<uint8_t>(255 - 17 * k));

  for (const int column : {0, 5}) {
    const int squareLeft = column * n + n / 4 + 1;
    pattern.Patch(column * n, 2 * n, n, n, 0);
    pattern.Patch(squareLeft, 9 * n / 4, n / 2, n / 2, 12);
    pattern.Patch(column * n, 3 * n, n, n, 255);
    pattern.Patch(squareLeft, 13 * n / 4, n / 2, n / 2, 242);
  }

  const int left = (raster.width - pattern.Side()) / 2;
  for (int y = 0; y < pattern.Side(); ++y)
    for (int x = 0; x < pattern.Side(); ++x)
      raster.Row(y)[left + x] = pattern.Get(x, y);

  const int points = raster.width / 50;
  for (int r = 1; r <= 4; ++r)
    for (int k = 0; k < 4; ++k)
      DrawLabel(raster, n * (k + 1), n * r, 255 - 17 * ((r - 1) * 4 + k), points);
}

ToneTable TestPrintToneTable(double gamma, int contrastPosition) {
  if (contrastPosition < 0 || contrastPosition >= kTestContrastSteps)
    contrastPosition = kTestContrastZero;
  if (!(gamma > 0.0))
    gamma = 1.0;
  const auto [hi, lo] = kCurves[kTestContrastSteps - 1 - contrastPosition];
  ToneTable table{};
  for (int i = 0; i < 256; ++i) {
    const int toned = static_cast<int>(std::pow(i / 255.0, 1.0 / gamma) * 255.0 + 0.05);
    const int stretched = static_cast<int>(lo + toned * static_cast<double>(hi - lo) / 256.0);
    table[i] = std::clamp(stretched, 0, 255);
  }
  return table;
}

Raster BuildTestImage(const std::string &smptePath, const ToneTable &table) {
  Raster image;
  std::error_code error;
  std::string reason;
  if (std::filesystem::exists(smptePath, error) && !ReadBmpFile(smptePath, image, &reason)) {
    WriteLog("WARNING, Test Print, " + smptePath + " not readable (" + reason +
             "), printing the built-in pattern");
    image = Raster{};
  }
  if (image.Empty()) {
    image = NewGreyRaster(1000, 1000, kWhite);
    DrawTestPattern(image);
  }
  for (uint8_t &byte : image.pixels)
    byte = static_cast<uint8_t>(table[byte]);
  return image;
}
