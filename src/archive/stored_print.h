#pragma once
// Stored Print and Hardcopy Grayscale Image objects: what a film session with
// the destination "DICOM" records instead of printing. One Stored Print per
// film box, one Hardcopy Grayscale Image per image box, written as DICOM files
// into a folder per session; a "finalized" marker closes the folder.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dicom/dcm_obj.h"

inline constexpr const char *kStoredPrintStorageUID = "1.2.840.10008.5.1.1.27";
inline constexpr const char *kHardcopyGrayscaleImageStorageUID = "1.2.840.10008.5.1.1.29";

struct HardcopyImage {
  std::string StudyUID;
  std::string SeriesUID;
  std::string InstanceUID;    // the image box's SOP Instance UID
  uint16_t ImagePosition = 0; // (2020,0010) of the N-SET
  DcmObj DataSet;             // explicit VR little endian
};

struct StoredPrint {
  std::string StudyUID;    // the session UID
  std::string SeriesUID;   // session UID + ".10"
  std::string InstanceUID; // the film box's SOP Instance UID: file name, meta header, (0008,0018)
  std::vector<std::unique_ptr<HardcopyImage>> HardcopyImages;
  DcmObj DataSet; // explicit VR little endian; (2130,0040) is added when written
};

struct StoredSession {
  std::vector<std::unique_ptr<StoredPrint>> StoredPrints; // one per film box, in creation order
  std::string SessionUID; // also the Study Instance UID of every object of the session
  std::string FilmSessionLabel;
  std::string NumberOfCopies;
  std::string PrintPriority;
  std::string MediumType;
  std::string FilmDestination;
};

// The folder of a session: the configured ImageDir joined directly to the UID.
std::string StoredSessionFolder(const std::string &sessionUID);

// A new session UID (distinct within the process and from every session folder
// already on disk) and the film session attributes of group 2000 of request.
void StartStoredSession(StoredSession &session, const DcmObj &request);

// Appends the Stored Print of a new film box to the session.
void AddStoredPrint(StoredSession &session, const DcmObj &request, const std::string &filmBoxUID,
                    const std::string &callingAETitle, const std::string &calledAETitle,
                    const std::string &printerName);

// The Stored Print of the film box with this UID, or null.
StoredPrint *FindStoredPrint(StoredSession &session, const std::string &filmBoxUID);
// Removes (and destroys) the Stored Print of the film box with this UID.
void RemoveStoredPrint(StoredSession &session, const std::string &filmBoxUID);

// Records the image of an image box N-SET as a Hardcopy Grayscale Image of
// storedPrint, taking the pixel elements out of request. A second N-SET of the
// same image box replaces its image. Returns 0.
uint16_t AddHardcopyImage(StoredPrint &storedPrint, DcmObj &request,
                          const std::string &imageBoxUID);

// Moves every element of groups 0028 and 7FE0 of source, at any depth of
// nesting, to the end of target in the order met. Icon images and encapsulated
// pixel data are left out. Elements inside sequences of defined length are
// decoded from the sequence's value, which stays as it is.
void TakeImagePixelElements(DcmObj &source, DcmObj &target);

// Writes the Hardcopy Grayscale Image files and then the Stored Print file
// into the session folder, each under a temporary name renamed when complete.
// False (logged) when a folder or file could not be written.
bool WriteStoredPrint(StoredPrint &storedPrint, const std::string &calledAETitle);

// Writes the "finalized" marker (called AE title, date) into the session
// folder, when the session wrote any files.
void FinishStoredSession(const StoredSession &session, const std::string &calledAETitle);
