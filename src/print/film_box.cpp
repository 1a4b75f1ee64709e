#include "print/film_box.h"

#include <atomic>

#include "dicom/dcm_obj.h"
#include "frame/date_time.h"
#include "frame/decimal_text.h"
#include "frame/event_log.h"
#include "print/dataset_walk.h"
#include "print/requested_uid.h"
#include "print/uid_counter.h"

namespace {

std::atomic<int32_t> lastSerialNumber{0};

// Columns and rows of an image display format such as STANDARD\C,R: the text
// between the first "\" (or the start) and the first ",", and the text after it.
void ParseDisplayFormat(const std::string &format, int32_t &columns, int32_t &rows) {
  const std::size_t comma = format.find(',');
  if (comma == std::string::npos) {
    columns = rows = 1;
    return;
  }
  const std::size_t backslash = format.find('\\');
  const std::size_t start = backslash == std::string::npos ? 0 : backslash + 1;
  columns = start <= comma ? DecimalOr(format.substr(start, comma - start), 1) : 1;
  rows = DecimalOr(format.substr(comma + 1), 1);
}

// An item (FFFE,E000) or delimitation element, which carries no VR.
std::unique_ptr<DcmTag> ItemTag(uint16_t element, uint32_t length) {
  auto tag = std::make_unique<DcmTag>(0xFFFE, element, length, nullptr, "");
  tag->VR.clear();
  return tag;
}

// Adds the Referenced Image Box Sequence (2010,0510) at its tag position among
// the top-level elements, of undefined length, with one undefined-length item
// per image box directly after it.
void AddReferencedImageBoxes(DcmObj &dataset, const std::string &sopClassUID,
                             const std::vector<std::unique_ptr<ImageBox>> &imageBoxes) {
  // Placed by a walk of our own: the data set's Insert never places an element
  // before a sequence of undefined length, such as a Referenced Presentation
  // LUT Sequence (2050,0500) as dcmjs-dimse encodes it.
  bool existing = false;
  const int position = TopLevelPosition(dataset, 0x2010, 0x0510, existing);
  if (existing) { // sent by the SCU: replaced, with its items
    const int last =
        OpensNesting(*dataset.GetTag(position)) ? ClosingPosition(dataset, position) : position;
    dataset.Tags.erase(dataset.Tags.begin() + position, dataset.Tags.begin() + last + 1);
  }
  std::vector<std::unique_ptr<DcmTag>> items;
  items.push_back(std::make_unique<DcmTag>(0x2010, 0x0510, kUndefinedLength, nullptr, "SQ"));
  for (const auto &imageBox : imageBoxes) {
    items.push_back(ItemTag(0xE000, kUndefinedLength));
    items.push_back(std::make_unique<DcmTag>(0x0008, 0x1150, std::string_view(sopClassUID), "UI"));
    items.push_back(
        std::make_unique<DcmTag>(0x0008, 0x1155, std::string_view(imageBox->SOPInstanceUID), "UI"));
    items.push_back(ItemTag(0xE00D, 0));
  }
  items.push_back(ItemTag(0xE0DD, 0));
  auto at = dataset.Tags.begin() + position;
  dataset.Tags.insert(at, std::make_move_iterator(items.begin()),
                      std::make_move_iterator(items.end()));
}

// "999.2." date "." process clock "." film box counter.
std::string GeneratedUID(uint64_t clock) {
  return "999.2." + FormatDateTime("yyyymmdd") + "." + std::to_string(clock) + "." +
         std::to_string(FilmBoxCounter().Take());
}

} // namespace

FilmBox::FilmBox() : SerialNumber(++lastSerialNumber) {}

uint16_t FilmBox::Register(const DcmObj &dataset) {
  ImageDisplayFormat = dataset.GetString(0x2010, 0x0010);
  ParseDisplayFormat(ImageDisplayFormat, Columns, Rows);
  const int64_t positions = int64_t{Columns} * Rows;
  // Two negative counts would multiply to a positive number of positions.
  if (Columns < 1 || Rows < 1 || positions > 40) {
    WriteLog("ERROR, FilmBox::Register, rows*cols=" + std::to_string(positions));
    return kStatusInvalidAttributeValue;
  }
  FilmOrientation = dataset.GetString(0x2010, 0x0040);
  if (FilmOrientation != "PORTRAIT" && FilmOrientation != "LANDSCAPE")
    FilmOrientation = "PORTRAIT";
  FilmSizeID = dataset.GetString(0x2010, 0x0050);
  if (FilmSizeID.empty())
    FilmSizeID = "14INX17IN";
  MagnificationType = dataset.GetString(0x2010, 0x0060);
  BorderDensity = dataset.GetString(0x2010, 0x0100);
  EmptyImageDensity = dataset.GetString(0x2010, 0x0110);
  MinDensity = dataset.GetUShort(0x2010, 0x0120);
  MaxDensity = dataset.GetUShort(0x2010, 0x0130);
  if (MaxDensity == 0)
    MaxDensity = 150;
  if (Illumination == 0)
    Illumination = dataset.GetUShort(0x2010, 0x015E);
  return kStatusSuccess;
}

uint16_t FilmBox::Create(const std::string &filmSessionUID, DcmObj &dataset,
                         const std::string &requestedUID) {
  const uint64_t clock = ProcessClockMilliseconds();
  ImageBoxes.clear();
  if (!AcceptableRequestedUID(requestedUID, "FilmBox::Create"))
    return kStatusInvalidAttributeValue;
  SOPInstanceUID = requestedUID.empty() ? GeneratedUID(clock) : requestedUID;
  FilmSessionUID = filmSessionUID;

  const uint16_t status = Register(dataset);
  if (status != kStatusSuccess) {
    WriteLog("ERROR, FilmBox::Create::Register()");
    return status;
  }

  const std::string sopClassUID = Color ? kBasicColorImageBoxUID : kBasicGrayscaleImageBoxUID;
  auto addImageBox = [&](const std::string &uid) {
    auto imageBox = std::make_unique<ImageBox>();
    imageBox->SOPInstanceUID = uid;
    imageBox->FilmBoxUID = SOPInstanceUID;
    imageBox->FilmSessionUID = FilmSessionUID;
    ImageBoxes.push_back(std::move(imageBox));
  };
  // Image box UIDs extend the film box UID by up to four characters; a
  // requested UID too long for that lends them a generated stem instead.
  const std::string stem = SOPInstanceUID.size() + 4 <= 64 ? SOPInstanceUID : GeneratedUID(clock);
  if (CalibrationFilm) {
    Columns = 3;
    Rows = 3;
    addImageBox(stem + ".1");
  } else {
    for (int32_t i = 0; i < Columns * Rows; ++i)
      addImageBox(stem + "." + std::to_string(i + 101));
  }
  AddReferencedImageBoxes(dataset, sopClassUID, ImageBoxes);
  return kStatusSuccess;
}

uint16_t FilmBox::Release() {
  ImageBoxes.clear();
  return kStatusSuccess;
}
