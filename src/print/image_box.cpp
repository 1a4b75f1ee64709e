// The N-SET of an image box: the walk over its data set that picks up the
// image's pixel description and pixel data.
#include "print/image_box.h"

#include "dicom/dcm_obj.h"
#include "frame/event_log.h"
#include "print/dataset_walk.h"
#include "print/presentation_lut.h"

namespace {

bool IsColorInterpretation(const std::string &photometric) {
  return photometric == "RGB" || photometric == "YBR_FULL" || photometric == "YBR_FULL_422";
}

} // namespace

uint16_t ImageBox::Set(const DcmObj &dataset, const PresentationLUT &) {
  uint16_t status = 0;
  Walk(dataset, status);
  return status;
}

void ImageBox::Walk(const DcmObj &dataset, uint16_t &status) {
  for (int i = 0; i < dataset.Count(); ++i) {
    const DcmTag &tag = *dataset.GetTag(i);
    // The icon's own pixel description and pixels must not replace the image's.
    if (tag.Is(0x0088, 0x0200)) {
      if (tag.UndefinedLength())
        i = ClosingPosition(dataset, i);
      continue;
    }
    if (tag.Is(0x7FE0, 0x0010) && tag.UndefinedLength()) {
      WriteLog("WARNING, ImageBox::Set, encapsulated (compressed) Pixel Data is not supported, "
               "image box " +
               SOPInstanceUID + " stays empty");
      Pixels.clear();
      i = ClosingPosition(dataset, i); // its fragments are no data elements
      continue;
    }
    if (tag.VR == "SQ" || tag.Group == 0xFFFE) {
      if (tag.HasData()) {
        DcmObj nested;
        nested.Explicit = dataset.Explicit;
        tag.GetObj(nested);
        Walk(nested, status);
      }
      continue; // undefined-length content follows in this list
    }
    if (tag.Length == 0)
      continue;
    Take(tag, status);
  }
}

void ImageBox::Take(const DcmTag &tag, uint16_t &status) {
  switch ((uint32_t{tag.Group} << 16) | tag.Element) {
  case 0x00280002:
    SamplesPerPixel = tag.GetUShort();
    break;
  case 0x00280004:
    PhotometricInterpretation = tag.GetString();
    IsRGB = IsColorInterpretation(PhotometricInterpretation);
    monochrome1_ = PhotometricInterpretation == "MONOCHROME1";
    Invert = monochrome1_;
    if (monochrome1_ && LogEnabled(1))
      WriteLog("MONOCHROME1");
    break;
  case 0x00280006:
    PlanarConfiguration = tag.GetUShort();
    break;
  case 0x00280010:
    Rows = tag.GetUShort();
    break;
  case 0x00280011:
    Columns = tag.GetUShort();
    break;
  case 0x00280100:
    BitsAllocated = tag.GetUShort();
    break;
  case 0x00280101:
    BitsStored = tag.GetUShort();
    break;
  case 0x00280102:
    HighBit = tag.GetUShort();
    break;
  case 0x00280103:
    PixelRepresentation = tag.GetUShort();
    break;
  case 0x00281050:
    WindowCenter = tag.GetFloat();
    break;
  case 0x00281051:
    WindowWidth = tag.GetFloat();
    break;
  case 0x00281052:
    RescaleIntercept = tag.GetFloat();
    break;
  case 0x00281053:
    RescaleSlope = tag.GetFloat();
    break;
  case 0x20200010:
    ImagePosition = tag.GetUShort();
    break;
  case 0x20200020:
    Polarity = tag.GetString();
    break;
  case 0x20200030:
    RequestedImageSize = tag.GetFloat();
    break;
  case 0x7FE00010:
    status = TakePixels(tag.Data.get(), tag.Length);
    break;
  default:
    break;
  }
}
