#include "archive/pdf2dicom.h"

#include <atomic>
#include <utility>

#include "archive/dcm_study.h"
#include "archive/instance_uid.h"
#include "archive/zero_padded_value.h"
#include "dicom/dcm_obj.h"
#include "dicom/transfer_syntax.h"
#include "frame/date_time.h"
#include "frame/event_log.h"

namespace {

// Numbers the PDF objects of this process: 0 at start, wraps from 98 to 0.
std::atomic<int> pdfInstanceCounter{0};

// The counter before and after one step, taken together so that concurrent
// sends get different numbers.
std::pair<int, int> StepPdfInstanceCounter() {
  int before = pdfInstanceCounter.load();
  while (!pdfInstanceCounter.compare_exchange_weak(before, (before + 1) % 99)) {
  }
  return {before, (before + 1) % 99};
}

} // namespace

bool PDF2DICOM(const std::string &pdf, const DCMStudy &study, DcmObj &object,
               const std::string &documentTitle) {
  const std::string today = FormatDateTime("yyyymmdd");
  const std::string base = UniqueUID("99", today, study.StudyTime);
  const auto [before, after] = StepPdfInstanceCounter();
  const std::string now = FormatDateTime("hhnnss");

  object.TransferSyntax = ts::ExplicitLittleEndian;
  object.Explicit = true;
  object.AddString(0x0008, 0x0005, "ISO_IR 100");
  object.AddString(0x0008, 0x0012, today);
  object.AddString(0x0008, 0x0013, now);
  object.AddString(0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.104.1");
  object.AddString(0x0008, 0x0018, base + ".1" + std::to_string(before));
  object.AddString(0x0008, 0x0020, study.StudyDate);
  object.AddString(0x0008, 0x0030, study.StudyTime);
  object.AddString(0x0008, 0x0033, now);
  object.AddString(0x0008, 0x0050, study.AccessionNumber);
  object.AddString(0x0008, 0x0060, "OT");
  object.AddString(0x0008, 0x0064, "WSD");
  object.AddString(0x0008, 0x0080, study.InstitutionName);
  object.AddString(0x0008, 0x0090, study.ReferringPhysician);
  object.AddString(0x0008, 0x1030, study.StudyDescription);
  object.AddString(0x0008, 0x103E, "PDF Print");
  object.AddString(0x0010, 0x0010, study.PatientName);
  object.AddString(0x0010, 0x0020, study.PatientID);
  object.AddString(0x0010, 0x0030, study.BirthDate);
  object.AddString(0x0010, 0x0040, study.Sex);
  object.AddString(0x0020, 0x000D, study.StudyUID);
  object.AddString(0x0020, 0x000E, base + ".200");
  object.AddString(0x0020, 0x0010, study.StudyID);
  object.AddString(0x0020, 0x0011, "200");
  object.AddString(0x0020, 0x0013, std::to_string(after));
  if (pdf.empty()) {
    WriteLog("ERROR, PDF2DICOM, Stream size is zero");
    return false;
  }
  object.AddString(0x0042, 0x0010, documentTitle);
  object.Add(ZeroPaddedValue(0x0042, 0x0011, pdf.data(), pdf.size(), "OB"));
  object.AddString(0x0042, 0x0012, "application/pdf");
  return true;
}
