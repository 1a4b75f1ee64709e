#include "print/film_session.h"

#include "dicom/dcm_obj.h"
#include "frame/date_time.h"
#include "frame/decimal_text.h"
#include "frame/event_log.h"
#include "print/requested_uid.h"
#include "print/uid_counter.h"
#include "rules/printing_rule.h"

void FilmSession::ApplyRule(const PrintingRule &rule) {
  PrinterName = rule.Destination;
  PaperChoice = rule.PaperChoice;
  TrueSizePrint = rule.TrueSizePrint;
  GammaIndex = rule.GammaIndex;
  ContrastIndex = rule.ContrastIndex;
  SaturationIndex = rule.SaturationIndex;
  FilterIndex = rule.FilterIndex;
  ColorPrinting = rule.ColorPrinting;
  BorderColor = rule.BorderColor;
  EmptyImageColor = rule.EmptyImageColor;
}

uint16_t FilmSession::Create(const DcmObj &dataset, const std::string &requestedUID,
                             int socketHandle) {
  const uint64_t clock = ProcessClockMilliseconds();
  if (!AcceptableRequestedUID(requestedUID, "FilmSession::Create"))
    return kStatusInvalidAttributeValue;
  FilmBoxes.clear();
  if (requestedUID.empty())
    SOPInstanceUID = "999.1." + FormatDateTime("yyyymmdd") + "." + std::to_string(clock) + "." +
                     std::to_string(socketHandle) + "." +
                     std::to_string(FilmSessionCounter().Take());
  else
    SOPInstanceUID = requestedUID;

  NumberOfCopies = dataset.GetString(0x2000, 0x0010);
  PrintPriority = dataset.GetString(0x2000, 0x0020);
  MediumType = dataset.GetString(0x2000, 0x0030);
  if (MediumType.empty())
    MediumType = "PAPER";
  FilmDestination = dataset.GetString(0x2000, 0x0040);
  if (FilmDestination.empty())
    FilmDestination = "MAGAZINE";
  FilmSessionLabel = dataset.GetString(0x2000, 0x0050);
  Illumination = dataset.GetUShort(0x2010, 0x015E);
  return kStatusSuccess;
}

int32_t FilmSession::Copies() const {
  int32_t copies = 0;
  const char *end = NumberOfCopies.data() + NumberOfCopies.size();
  auto [last, error] = std::from_chars(NumberOfCopies.data(), end, copies);
  if (error != std::errc() || last != end || copies < 1)
    return 1;
  return copies;
}

void FilmSession::CopyPrintSettings(FilmBox &box) const {
  static_cast<PrintSettings &>(box) = *this;
  box.CalibrationFilm = Calibration;
  box.Copies = Copies();
  box.MediumType = MediumType;
  box.FilmDestination = FilmDestination;
  box.FilmSessionLabel = FilmSessionLabel;
  box.CallingAETitle = CallingAETitle;
}

void FilmSession::PrepareFilmBox(FilmBox &filmBox) const {
  CopyPrintSettings(filmBox);
  filmBox.Illumination = Illumination;
}

uint16_t FilmSession::Delete(const std::string &requestedUID) {
  if (requestedUID != SOPInstanceUID)
    return kStatusNoSuchObjectInstance;
  for (auto &filmBox : FilmBoxes)
    filmBox->Release();
  FilmBoxes.clear();
  return kStatusSuccess;
}
