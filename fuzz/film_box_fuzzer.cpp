// The N-CREATE of a film box: arbitrary bytes decoded as the request's data
// set in implicit VR little endian, taken by FilmBox::Create. A created film
// box has a layout of 1 to 40 positions, one image box for each, and a response
// data set that encodes and decodes again.
#include <cstdlib>

#include "dicom/buf_data.h"
#include "dicom/dcm_obj.h"
#include "dicom/transfer_syntax.h"
#include "print/film_box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1)
    return 0;
  DcmObj dataset;
  dataset.TransferSyntax = ts::ImplicitLittleEndian;
  dataset.Explicit = false;
  BufData in(false);
  in.Assign(data + 1, size - 1);
  in.ReadObj(dataset);

  FilmBox filmBox;
  filmBox.Color = data[0] & 1;
  if (filmBox.Create("1.2.3", dataset, "") != kStatusSuccess)
    return 0;
  if (filmBox.Columns < 1 || filmBox.Rows < 1 || int64_t{filmBox.Columns} * filmBox.Rows > 40 ||
      filmBox.ImageBoxes.size() != static_cast<size_t>(filmBox.Columns * filmBox.Rows))
    std::abort();
  for (const auto &imageBox : filmBox.ImageBoxes)
    if (imageBox->SOPInstanceUID.size() > 64)
      std::abort();

  BufData out(false);
  out.WriteObj(dataset);
  DcmObj response;
  response.TransferSyntax = ts::ImplicitLittleEndian;
  BufData reread(false);
  reread.Assign(out.TakeBytes());
  if (!reread.ReadObj(response))
    std::abort();
  return 0;
}
