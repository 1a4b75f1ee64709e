#include "render/cell_drawing.h"

#include <algorithm>
#include <vector>

#include "print/image_box.h"
#include "render/fit_sampler.h"
#include "render/image_adjustments.h"

void DrawCell(const ImageBox& box, int width, int height, const CellLook& look, Raster& target,
              int x, int y) {
  if (target.Empty() || width < 1 || height < 1) return;
  // Cell columns [sx0, sx1) and rows [sy0, sy1) land inside the target.
  const int sx0 = std::max(0, 1 - x), sx1 = std::min(width, target.width - x);
  const int sy0 = std::max(0, 1 - y), sy1 = std::min(height, target.height - y);
  if (sx0 >= sx1 || sy0 >= sy1) return;

  const int bpp = box.IsRGB ? 3 : 1;
  const size_t stride = static_cast<size_t>(width) * bpp;
  FitSampler sampler(box.Pixels.data(), box.Columns, box.Rows, width, height, box.IsRGB, look.fill);
  const auto render = [&](int row, uint8_t* out) {
    sampler.Row(row, out, look.toneTable, true);
    if (box.IsRGB && look.saturation != 0) AdjustSaturationRow(out, width, look.saturation);
  };
  // A cell row that lies whole on the target in its own format is made in
  // place; any other goes through a scratch row.
  const bool inPlace = box.IsRGB == target.color && sx0 == 0 && sx1 == width;
  std::vector<uint8_t> scratch(inPlace ? 0 : stride);
  const auto rowOut = [&](int row) {
    return inPlace ? target.Row(y + row) + static_cast<size_t>(x) * bpp : scratch.data();
  };
  const auto place = [&](int row) {
    if (inPlace) return;
    CopyPixels(scratch.data() + static_cast<size_t>(sx0) * bpp, box.IsRGB,
               target.Row(y + row) + static_cast<size_t>(x + sx0) * target.BytesPerPixel(),
               target.color, sx1 - sx0);
  };

  const bool filtered = (look.filter == 1 || look.filter == 2) && width >= 3 && height >= 3;
  if (!filtered) {
    for (int row = sy0; row < sy1; ++row) {
      render(row, rowOut(row));
      place(row);
    }
    return;
  }
  // The filter reads the unfiltered rows above and below: the ring holds the
  // three latest, row r in slot r mod 3. The first and last row stay unfiltered.
  std::vector<uint8_t> ring(3 * stride);
  const auto unfiltered = [&](int row) { return ring.data() + (row % 3) * stride; };
  int next = std::max(sy0 - 1, 0);
  for (int row = sy0; row < sy1; ++row) {
    for (const int last = std::min(row + 1, height - 1); next <= last; ++next)
      render(next, unfiltered(next));
    uint8_t* out = rowOut(row);
    if (row == 0 || row == height - 1)
      std::copy_n(unfiltered(row), stride, out);
    else if (look.filter == 1)
      SharpenRow(unfiltered(row - 1), unfiltered(row), unfiltered(row + 1), out, width, bpp);
    else
      SmoothRow(unfiltered(row - 1), unfiltered(row), unfiltered(row + 1), out, width, bpp);
    place(row);
  }
}
