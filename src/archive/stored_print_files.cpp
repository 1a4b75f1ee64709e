// The files of a stored session: "HG." and "SP." DICOM files and the
// "finalized" marker, in the session folder.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "archive/stored_print.h"
#include "frame/date_time.h"
#include "frame/event_log.h"
#include "print/requested_uid.h"
#include "frame/atomic_file.h"

namespace {

void LogSavingError(const std::string &message) {
  WriteLog("ERROR, MultiSCP, Saving to Folder DICOM, " + message);
}

// Writes obj under a temporary name and renames it to path when complete, so
// that no reader of the folder ever meets a partial file.
bool WriteDicomFile(DcmObj &obj, const std::string &path, const std::string &instanceUID) {
  const std::string partial = path + ".part";
  if (!obj.Write(partial, obj.GetString(0x0008, 0x0016), instanceUID))
    return false; // logged by the writer, which leaves no partial file
  std::error_code error;
  std::filesystem::rename(partial, path, error);
  if (error) {
    LogSavingError(path + ", " + error.message());
    std::remove(partial.c_str());
    return false;
  }
  return true;
}

// The Image Box Content item of one hardcopy image.
DcmObj ImageBoxContent(const HardcopyImage &image, const std::string &calledAETitle) {
  DcmObj referenced;
  referenced.Explicit = true;
  referenced.TransferSyntax = ts::ExplicitLittleEndian;
  referenced.AddString(0x0008, 0x0054, calledAETitle);
  referenced.AddString(0x0008, 0x1150, kHardcopyGrayscaleImageStorageUID);
  referenced.AddString(0x0008, 0x1155, image.InstanceUID);
  referenced.AddString(0x0010, 0x0020, "");
  referenced.AddString(0x0020, 0x000D, image.StudyUID);
  referenced.AddString(0x0020, 0x000E, image.SeriesUID);
  auto referencedItem = std::make_unique<DcmTag>();
  referencedItem->SetObj(0xFFFE, 0xE000, referenced);
  DcmObj referencedItems;
  referencedItems.Explicit = true;
  referencedItems.Add(std::move(referencedItem));

  DcmObj item;
  item.Explicit = true;
  item.TransferSyntax = ts::ExplicitLittleEndian;
  item.AddString(0x0008, 0x0018, image.InstanceUID);
  auto sequence = std::make_unique<DcmTag>();
  sequence->SetObj(0x0008, 0x1140, referencedItems);
  item.Add(std::move(sequence));
  item.Add(std::make_unique<DcmTag>(0x2020, 0x0010, image.ImagePosition, "US"));
  return item;
}

bool WriteFiles(StoredPrint &storedPrint, const std::string &calledAETitle) {
  // Every UID below becomes a file name: only UIDs of digits and dots.
  bool validNames = IsValidUID(storedPrint.StudyUID) && IsValidUID(storedPrint.InstanceUID);
  for (const auto &image : storedPrint.HardcopyImages)
    validNames = validNames && IsValidUID(image->InstanceUID);
  if (!validNames) {
    LogSavingError("invalid UID for a file name, film box " + storedPrint.InstanceUID);
    return false;
  }
  const std::string folder = StoredSessionFolder(storedPrint.StudyUID);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    LogSavingError(folder + ", " + error.message());
    return false;
  }
  DcmObj items;
  items.Explicit = true;
  items.TransferSyntax = ts::ExplicitLittleEndian;
  for (const auto &image : storedPrint.HardcopyImages) {
    if (!WriteDicomFile(image->DataSet, folder + "/HG." + image->InstanceUID, image->InstanceUID))
      return false;
    auto item = std::make_unique<DcmTag>();
    item->SetObj(0xFFFE, 0xE000, ImageBoxContent(*image, calledAETitle));
    items.Add(std::move(item));
  }
  // A film box printed again gets its content sequence replaced.
  auto sequence = std::make_unique<DcmTag>();
  sequence->SetObj(0x2130, 0x0040, items);
  storedPrint.DataSet.Insert(std::move(sequence));
  return WriteDicomFile(storedPrint.DataSet, folder + "/SP." + storedPrint.InstanceUID,
                        storedPrint.InstanceUID);
}

} // namespace

bool WriteStoredPrint(StoredPrint &storedPrint, const std::string &calledAETitle) {
  try {
    return WriteFiles(storedPrint, calledAETitle);
  } catch (const std::exception &error) {
    LogSavingError(error.what());
    return false;
  }
}

void FinishStoredSession(const StoredSession &session, const std::string &calledAETitle) {
  if (!IsValidUID(session.SessionUID))
    return;
  const std::string folder = StoredSessionFolder(session.SessionUID);
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error))
    return; // the session stored nothing
  const std::string text = calledAETitle + "\r\n" + FormatDateTime("yyyymmdd") + "\r\n";
  std::string message;
  if (!WriteFileAtomically(folder + "/finalized", reinterpret_cast<const uint8_t *>(text.data()),
                           text.size(), &message))
    LogSavingError(folder + "/finalized, " + message);
}
