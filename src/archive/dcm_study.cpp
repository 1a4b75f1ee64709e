#include "archive/dcm_study.h"

#include <cstdint>
#include <vector>

#include "archive/instance_uid.h"
#include "archive/jpeg_image.h"
#include "archive/send_scu.h"
#include "archive/zero_padded_value.h"
#include "dicom/dcm_obj.h"
#include "dicom/transfer_syntax.h"
#include "frame/date_time.h"
#include "frame/event_log.h"

namespace {

constexpr const char *kSecondaryCaptureSOPClass = "1.2.840.10008.5.1.4.1.1.7";

// Encapsulated pixel data (PS3.5 A.4): an empty basic offset table, one
// fragment with the whole JPEG, padded to even length with a zero byte.
void AddEncapsulatedPixels(DcmObj &object, const std::vector<uint8_t> &jpeg) {
  object.Add(new DcmTag(0x7FE0, 0x0010, kUndefinedLength, nullptr, "OB"));
  object.Add(new DcmTag(0xFFFE, 0xE000, uint32_t(0), nullptr));
  object.Add(ZeroPaddedValue(0xFFFE, 0xE000, jpeg.data(), jpeg.size()));
  object.Add(new DcmTag(0xFFFE, 0xE0DD, uint32_t(0), nullptr));
}

} // namespace

bool DCMStudy::SentJPEG(const std::string &callingAE, const std::string &calledAE,
                        const std::string &host, const std::string &port, const JPEGImage &image,
                        int instanceNumber) const {
  if (!image.Baseline || image.Photometric.empty() || image.Width > 0xFFFF ||
      image.Height > 0xFFFF) {
    WriteLog("ERROR, DCMStudy::SentJPEG, the image is no 8-bit baseline grey or colour JPEG");
    return false;
  }
  const std::string now = FormatDateTime("hhnnss");
  const std::string today = FormatDateTime("yyyymmdd");
  const std::string base = UniqueUID("10", today, now);
  const bool grey = image.Components == 1;

  DcmObj object;
  object.TransferSyntax = ts::JPEGBaseline;
  object.Explicit = true;
  object.AddString(0x0008, 0x0012, today);
  object.AddString(0x0008, 0x0013, now);
  object.AddString(0x0008, 0x0016, kSecondaryCaptureSOPClass);
  object.AddString(0x0008, 0x0018, base + "." + std::to_string(instanceNumber));
  object.AddString(0x0008, 0x0020, StudyDate);
  object.AddString(0x0008, 0x0030, StudyTime);
  object.AddString(0x0008, 0x0032, now);
  object.AddString(0x0008, 0x0033, now);
  object.AddString(0x0008, 0x0050, AccessionNumber);
  object.AddString(0x0008, 0x0060, Modality);
  object.AddString(0x0008, 0x0080, InstitutionName);
  object.AddString(0x0008, 0x0090, ReferringPhysician);
  object.AddString(0x0008, 0x1030, StudyDescription);
  object.AddString(0x0010, 0x0010, PatientName);
  object.AddString(0x0010, 0x0020, PatientID);
  object.AddString(0x0010, 0x0030, BirthDate);
  object.AddString(0x0010, 0x0040, Sex);
  object.AddString(0x0020, 0x000D, StudyUID);
  object.AddString(0x0020, 0x000E, base);
  object.AddString(0x0020, 0x0011, "999");
  object.AddString(0x0020, 0x0013, std::to_string(instanceNumber));
  object.AddUShort(0x0028, 0x0002, grey ? 1 : 3);
  object.AddString(0x0028, 0x0004, image.Photometric);
  if (!grey)
    object.AddUShort(0x0028, 0x0006, 0);
  object.AddUShort(0x0028, 0x0010, static_cast<unsigned short>(image.Height));
  object.AddUShort(0x0028, 0x0011, static_cast<unsigned short>(image.Width));
  object.AddUShort(0x0028, 0x0100, 8);
  object.AddUShort(0x0028, 0x0101, 8);
  object.AddUShort(0x0028, 0x0102, 7);
  object.AddUShort(0x0028, 0x0103, 0);
  AddEncapsulatedPixels(object, image.Data);
  return StoreObject("DCMStudy::SentJPEG", callingAE, calledAE, host, port, object,
                     kSecondaryCaptureSOPClass, kPacsTimeoutSeconds);
}
