#pragma once
// The study record of a film sent to the PACS, and its Secondary Capture send.
#include <string>
#include <vector>

struct JPEGImage;

struct DCMStudy {
  std::string PatientID;
  std::string PatientName;
  std::string BirthDate;
  std::string Sex;
  std::string Spare1;
  std::string StudyUID;
  std::string StudyDate;
  std::string StudyTime;
  std::string Modality;
  std::string InstitutionName;
  std::string StudyDescription;
  std::string AccessionNumber;
  std::string ReferringPhysician;
  std::string StudyID;
  std::string Spare2;
  std::string Spare3;
  int SeriesCount = 0;
  std::vector<std::string> Series; // not filled by this system

  // Stores image as a Secondary Capture object in JPEG baseline, numbered
  // instanceNumber. True when the PACS answered status 0.
  bool SentJPEG(const std::string &callingAE, const std::string &calledAE, const std::string &host,
                const std::string &port, const JPEGImage &image, int instanceNumber) const;
};
