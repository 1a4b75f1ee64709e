#include "archive/send_to_pacs.h"

#include <filesystem>
#include <system_error>

#include "archive/dcm_study.h"
#include "archive/instance_uid.h"
#include "archive/jpeg_image.h"
#include "archive/jpeg_to_pdf_stream.h"
#include "archive/pdf2dicom.h"
#include "archive/send_scu.h"
#include "dicom/dcm_obj.h"
#include "frame/configuration.h"
#include "frame/date_time.h"
#include "frame/event_log.h"

bool SendToPACS(const std::string &jpegPath, const std::string &callingAETitle,
                const std::string &filmSizeID, int32_t pacsFormat) {
  DCMStudy study;
  study.PatientName = callingAETitle;
  study.PatientID = "For Assignment";
  study.AccessionNumber = filmSizeID;
  study.Modality = "SR";
  study.StudyDate = FormatDateTime("yyyymmdd");
  study.StudyTime = FormatDateTime("hhnnss");
  study.StudyDescription = pacsFormat == 0 ? "PDF From Corvanel" : "JPEG From Corvanel";
  study.StudyUID = UniqueUID("10", study.StudyDate, FormatDateTime("hhnnss"));

  std::error_code ec;
  if (!std::filesystem::exists(jpegPath, ec)) {
    WriteLog("ERROR, SendToPACS, " + jpegPath + " doesn't exists");
    return false;
  }
  JPEGImage image;
  std::string error;
  if (!LoadJPEGImage(jpegPath, image, error)) {
    WriteLog("ERROR, SendToPACS, cannot read the JPEG " + jpegPath + ", " + error);
    return false;
  }
  const auto config = CurrentConfiguration();
  if (pacsFormat != 0) {
    const bool sent = study.SentJPEG(kPacsCallingAETitle, config->PacsAET, config->PacsIP,
                                     config->PacsPort, image, 1);
    WriteLog(sent
                 ? "INFO, SendToPACS, sent JPEG to " + config->PacsAET + " succesfully, " +
                       study.StudyUID
                 : "ERROR, SendToPACS, sending JPEG to " + config->PacsAET + ", " + study.StudyUID);
    return sent;
  }
  std::string pdf;
  DcmObj object;
  if (!JPEGToPDFStream(image, pdf) || !PDF2DICOM(pdf, study, object, filmSizeID))
    return false;
  const bool sent = SendSCU(kPacsCallingAETitle, config->PacsAET, config->PacsIP, config->PacsPort,
                            object, kPacsTimeoutSeconds);
  WriteLog(sent ? "INFO, SendToPACS, sent PDF to " + config->PacsAET + " succesfully, " +
                      study.StudyUID
                : "ERROR, SendToPACS, sending PDF to " + config->PacsAET + ", " + study.StudyUID);
  return sent;
}
