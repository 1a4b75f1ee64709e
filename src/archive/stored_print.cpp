// Building the Stored Print and Hardcopy Grayscale Image data sets from the
// requests of a film session.
#include "archive/stored_print.h"

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "dicom/make_uid.h"
#include "frame/configuration.h"
#include "frame/date_time.h"
#include "frame/event_log.h"
#include "print/dataset_walk.h"

namespace {

// Part B of session UIDs: MakeUID resolves only to the minute, so sessions
// started within one minute are told apart by this number (1 to 9999, the
// four digits MakeUID keeps).
std::atomic<uint32_t> sessionCounter{0};

std::string NextSessionUID() {
  const std::string partB = std::to_string(sessionCounter.fetch_add(1) % 9999 + 1);
  return MakeUID(InstallationId(), "111", partB, FormatDateTime("yyyymmdd"),
                 FormatDateTime("hhnnss"), InstallationNumber());
}

DcmObj ExplicitObj() {
  DcmObj obj;
  obj.Explicit = true;
  obj.TransferSyntax = ts::ExplicitLittleEndian;
  return obj;
}

// A sequence element of defined length holding one item per entry of items.
std::unique_ptr<DcmTag> Sequence(uint16_t group, uint16_t element,
                                 const std::vector<DcmObj> &items) {
  DcmObj content = ExplicitObj();
  for (const DcmObj &item : items) {
    auto itemTag = std::make_unique<DcmTag>();
    itemTag->SetObj(0xFFFE, 0xE000, item);
    content.Add(std::move(itemTag));
  }
  auto sequence = std::make_unique<DcmTag>();
  sequence->SetObj(group, element, content);
  return sequence;
}

void AddEmpty(DcmObj &obj, std::initializer_list<std::pair<uint16_t, uint16_t>> tags) {
  for (auto [group, element] : tags)
    obj.AddString(group, element, "");
}

// The elements shared by both objects from Study Date to Patient's Sex.
void AddStudyAndPatient(DcmObj &obj) {
  AddEmpty(obj, {{0x0008, 0x0020}, {0x0008, 0x0030}, {0x0008, 0x0050}});
  obj.AddString(0x0008, 0x0060, "HC");
}

void AddPatient(DcmObj &obj) {
  AddEmpty(obj, {{0x0010, 0x0010}, {0x0010, 0x0020}, {0x0010, 0x0030}, {0x0010, 0x0040}});
}

void AddStudySeriesIdentity(DcmObj &obj, const std::string &studyUID,
                            const std::string &seriesUID) {
  obj.AddString(0x0020, 0x000D, studyUID);
  obj.AddString(0x0020, 0x000E, seriesUID);
  AddEmpty(obj, {{0x0020, 0x0010}, {0x0020, 0x0011}, {0x0020, 0x0013}, {0x0020, 0x0020}});
}

// Group 2010 of the film box request: the elements with a value, no sequences.
DcmObj FilmBoxContent(const DcmObj &request) {
  DcmObj item = ExplicitObj();
  for (const auto &tag : request.Tags) {
    if (tag->Group != 0x2010 || tag->VR == "SQ" || !tag->HasData() || tag->UndefinedLength())
      continue;
    auto copy = std::make_unique<DcmTag>(*tag);
    if (copy->VR.empty())
      copy->LookupVR();
    if (copy->VR == "SQ")
      continue;
    item.Add(std::move(copy));
  }
  return item;
}

} // namespace

std::string StoredSessionFolder(const std::string &sessionUID) {
  return CurrentConfiguration()->ImageDir + sessionUID;
}

void StartStoredSession(StoredSession &session, const DcmObj &request) {
  // A folder left by an earlier run of the program in this minute is skipped too.
  std::error_code error;
  session.SessionUID = NextSessionUID();
  for (int attempt = 0; attempt < 9999; ++attempt) {
    if (!std::filesystem::exists(StoredSessionFolder(session.SessionUID), error))
      break;
    session.SessionUID = NextSessionUID();
  }
  for (const auto &tag : request.Tags) {
    if (tag->Group != 0x2000 || !tag->HasData() || tag->UndefinedLength())
      continue;
    switch (tag->Element) {
    case 0x0010:
      session.NumberOfCopies = tag->GetString();
      break;
    case 0x0020:
      session.PrintPriority = tag->GetString();
      break;
    case 0x0030:
      session.MediumType = tag->GetString();
      break;
    case 0x0040:
      session.FilmDestination = tag->GetString();
      break;
    case 0x0050:
      session.FilmSessionLabel = tag->GetString();
      break;
    default:
      break;
    }
  }
}

void AddStoredPrint(StoredSession &session, const DcmObj &request, const std::string &filmBoxUID,
                    const std::string &callingAETitle, const std::string &calledAETitle,
                    const std::string &printerName) {
  auto print = std::make_unique<StoredPrint>();
  print->StudyUID = session.SessionUID;
  print->SeriesUID = session.SessionUID + ".10";
  // The file name, the meta header and the data set all carry the film box
  // UID, which keeps the Stored Prints of one session apart.
  print->InstanceUID = filmBoxUID;
  print->DataSet = ExplicitObj();
  DcmObj &obj = print->DataSet;
  const std::string date = FormatDateTime("yyyymmdd");
  const std::string time = FormatDateTime("hhnnss");
  obj.AddString(0x0008, 0x0012, date);
  obj.AddString(0x0008, 0x0013, time);
  obj.AddString(0x0008, 0x0016, kStoredPrintStorageUID);
  obj.AddString(0x0008, 0x0018, print->InstanceUID);
  AddStudyAndPatient(obj);
  obj.AddString(0x0008, 0x0070, "VELTRANO");
  AddPatient(obj);
  obj.AddString(0x0018, 0x1000, InstallationId());
  obj.AddString(0x0018, 0x1020, FileVersionText(""));
  AddStudySeriesIdentity(obj, print->StudyUID, print->SeriesUID);
  obj.AddString(0x2000, 0x0010, session.NumberOfCopies);
  obj.AddString(0x2000, 0x0020, session.PrintPriority);
  obj.AddString(0x2000, 0x0030, session.MediumType);
  obj.AddString(0x2000, 0x0040, session.FilmDestination);
  obj.AddString(0x2000, 0x0050, session.FilmSessionLabel);

  DcmObj printer = ExplicitObj();
  printer.AddString(0x2100, 0x0040, date);
  printer.AddString(0x2100, 0x0050, time);
  printer.AddString(0x2100, 0x0070, callingAETitle);
  printer.AddString(0x2100, 0x0140, calledAETitle);
  printer.AddString(0x2110, 0x0030, printerName);
  std::vector<DcmObj> items;
  items.push_back(std::move(printer));
  obj.Add(Sequence(0x2130, 0x0015, items));
  items.clear();
  items.push_back(FilmBoxContent(request));
  obj.Add(Sequence(0x2130, 0x0030, items));
  session.StoredPrints.push_back(std::move(print));
}

StoredPrint *FindStoredPrint(StoredSession &session, const std::string &filmBoxUID) {
  for (auto &print : session.StoredPrints)
    if (print->InstanceUID == filmBoxUID)
      return print.get();
  return nullptr;
}

void RemoveStoredPrint(StoredSession &session, const std::string &filmBoxUID) {
  std::erase_if(session.StoredPrints,
                [&](const auto &print) { return print->InstanceUID == filmBoxUID; });
}

uint16_t AddHardcopyImage(StoredPrint &storedPrint, DcmObj &request,
                          const std::string &imageBoxUID) {
  if (storedPrint.StudyUID.empty() || storedPrint.SeriesUID.empty() || imageBoxUID.empty())
    return 0;
  auto image = std::make_unique<HardcopyImage>();
  image->StudyUID = storedPrint.StudyUID;
  image->SeriesUID = storedPrint.SeriesUID;
  image->InstanceUID = imageBoxUID;
  image->ImagePosition = request.GetUShort(0x2020, 0x0010);
  image->DataSet = ExplicitObj();
  DcmObj &obj = image->DataSet;
  obj.AddString(0x0008, 0x0016, kHardcopyGrayscaleImageStorageUID);
  obj.AddString(0x0008, 0x0018, image->InstanceUID);
  AddStudyAndPatient(obj);
  AddPatient(obj);
  AddStudySeriesIdentity(obj, image->StudyUID, image->SeriesUID);
  TakeImagePixelElements(request, obj);
  // An image box set again keeps only its last image.
  std::erase_if(storedPrint.HardcopyImages,
                [&](const auto &held) { return held->InstanceUID == imageBoxUID; });
  storedPrint.HardcopyImages.push_back(std::move(image));
  return 0;
}

void TakeImagePixelElements(DcmObj &source, DcmObj &target) {
  for (int i = 0; i < source.Count(); ++i) {
    const DcmTag &tag = *source.GetTag(i);
    // An icon's pixel description would repeat the image's attributes, and
    // fragments of encapsulated pixel data are no data sets.
    if (tag.Is(0x0088, 0x0200) || (tag.Is(0x7FE0, 0x0010) && tag.UndefinedLength())) {
      if (tag.UndefinedLength())
        i = ClosingPosition(source, i);
      continue;
    }
    if (tag.VR == "SQ" || tag.Is(0xFFFE, 0xE000)) {
      if (tag.HasData()) {
        DcmObj nested;
        nested.Explicit = source.Explicit;
        tag.GetObj(nested);
        TakeImagePixelElements(nested, target);
      }
      continue; // undefined-length content follows in this list
    }
    if (tag.Group != 0x0028 && tag.Group != 0x7FE0)
      continue;
    // Moved, not copied: the pixel data is the bulk of an image box N-SET.
    std::unique_ptr<DcmTag> element = std::move(source.Tags[i]);
    if (element->VR.empty())
      element->LookupVR();
    target.Add(std::move(element));
  }
  std::erase(source.Tags, nullptr);
}
