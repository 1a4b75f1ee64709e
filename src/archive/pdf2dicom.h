#pragma once
// The Encapsulated PDF object of a film sent to the PACS.
#include <string>

class DcmObj;
struct DCMStudy;

// Fills object (explicit VR little endian) with an Encapsulated PDF document
// of study holding pdf, titled documentTitle. False, logged, when pdf is empty
// (the attributes of the study stay in object).
bool PDF2DICOM(const std::string &pdf, const DCMStudy &study, DcmObj &object,
               const std::string &documentTitle);
