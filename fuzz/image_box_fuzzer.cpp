// The N-SET of an image box: arbitrary bytes decoded as the request's data set
// in implicit VR little endian, taken by ImageBox::Set. The first byte picks
// the polarity of the box before the set. Whatever is taken must describe its
// pixels consistently, and film composition can resample them.
#include <cstdlib>
#include <vector>

#include "dicom/buf_data.h"
#include "dicom/dcm_obj.h"
#include "dicom/transfer_syntax.h"
#include "print/image_box.h"
#include "print/presentation_lut.h"
#include "render/image_adjustments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1)
    return 0;
  DcmObj dataset;
  dataset.TransferSyntax = ts::ImplicitLittleEndian;
  dataset.Explicit = false;
  BufData in(false);
  in.Assign(data + 1, size - 1);
  in.ReadObj(dataset);

  ImageBox box;
  box.SOPInstanceUID = "1.2.3.101";
  if (data[0] & 1)
    box.Polarity = "REVERSE";
  const PresentationLUT lut;
  const uint16_t status = box.Set(dataset, lut);
  if (status != 0 && status != kStatusResourceLimitation)
    std::abort();
  if (box.HasPixels() && uint64_t{box.Rows} * box.Columns > kMaxImagePixels)
    std::abort();
  // Elements after the Pixel Data may change the description; what film
  // composition then reads of the pixels stays within them.
  const size_t needed = size_t{box.Rows} * box.Columns * (box.IsRGB ? 3 : 1);
  if (box.Rows != 0 && box.Columns != 0 && box.Pixels.size() >= needed) {
    constexpr int kCellWidth = 37, kCellHeight = 23;
    std::vector<uint8_t> cell(size_t{kCellWidth} * kCellHeight * (box.IsRGB ? 3 : 1));
    FitResample(box.Pixels.data(), box.Columns, box.Rows, cell.data(), kCellWidth, kCellHeight,
                box.IsRGB, 0);
  }
  return 0;
}
