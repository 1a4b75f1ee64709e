#pragma once
// A Basic Film Box: its layout and film attributes from the N-CREATE, the
// print settings of its film session's rule, and its image boxes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "print/image_box.h"
#include "print/print_settings.h"

class DcmObj;

// DIMSE statuses of the print management objects.
inline constexpr uint16_t kStatusSuccess = 0x0000;
inline constexpr uint16_t kStatusInvalidAttributeValue = 0x0106;
inline constexpr uint16_t kStatusNoSuchObjectInstance = 0x0112;

inline constexpr const char *kBasicGrayscaleImageBoxUID = "1.2.840.10008.5.1.1.4";
inline constexpr const char *kBasicColorImageBoxUID = "1.2.840.10008.5.1.1.4.1";

// The print settings (PrintSettings) come from the film session.
class FilmBox : public PrintSettings {
public:
  FilmBox();

  std::string SOPInstanceUID;
  std::string FilmSessionUID;
  std::string ImageDisplayFormat; // (2010,0010)
  int32_t Columns = 0;            // image boxes across
  int32_t Rows = 0;               // image boxes down
  std::string FilmOrientation;    // "PORTRAIT" or "LANDSCAPE"
  std::string FilmSizeID;         // "14INX17IN" when not given
  std::string MagnificationType;
  std::string BorderDensity;
  std::string EmptyImageDensity;
  uint16_t MinDensity = 0;
  uint16_t MaxDensity = 150;
  uint16_t Illumination = 0;
  // Position i is the image box at index i of the display format, row by row.
  std::vector<std::unique_ptr<ImageBox>> ImageBoxes;
  bool Color = false; // created on the Basic Color Print Management Meta SOP Class
  bool CalibrationFilm = false;
  int32_t Copies = 1;
  std::string FilmSessionLabel;
  std::string FilmDestination;
  std::string MediumType;
  std::string CallingAETitle;

  // Identifies the film box in the log lines of printing ("S#" n): a
  // process-wide sequence number given at construction.
  int32_t SerialNumber = 0;

  // N-CREATE: gives the film box its UID (requested, or generated), takes its
  // attributes (Register), makes its image boxes and adds the Referenced Image
  // Box Sequence to dataset, which becomes the response data set.
  uint16_t Create(const std::string &filmSessionUID, DcmObj &dataset,
                  const std::string &requestedUID);
  // Takes the film box attributes of an N-CREATE data set; 0x0106 when the
  // image display format has fewer than 1 or more than 40 positions.
  uint16_t Register(const DcmObj &dataset);
  // Composes the film and sends it to destination (a printer name, or "JPEG",
  // "PDF", "PACS", "DICOM"). Returns 0, 531, or an error code of the printing
  // system. Defined by the film output code.
  int Print(const std::string &destination);
  // Destroys every image box (pixels and raster with it). Returns 0.
  uint16_t Release();
};
