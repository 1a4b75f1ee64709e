#pragma once
// The Basic Film Session of one association: its attributes from the N-CREATE,
// the printing rule chosen for it, and its film boxes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "print/film_box.h"

class DcmObj;
struct PrintingRule;

// The print settings (PrintSettings) come from the rule and the configuration.
class FilmSession : public PrintSettings {
public:
  std::string SOPInstanceUID;
  std::string NumberOfCopies;                      // (2000,0010) as received
  std::string PrintPriority;                       // (2000,0020)
  std::string MediumType;                          // (2000,0030), "PAPER" when empty
  std::string FilmDestination;                     // (2000,0040), "MAGAZINE" when empty
  std::string FilmSessionLabel;                    // (2000,0050)
  uint16_t Illumination = 0;                       // (2010,015E); 0 when absent
  std::vector<std::unique_ptr<FilmBox>> FilmBoxes; // in creation order

  std::string CallingAETitle;
  std::string PrinterName;  // the rule's Destination
  bool Calibration = false; // every film box is a calibration film

  // Copies the rule's fields from Destination on (Destination into PrinterName).
  void ApplyRule(const PrintingRule &rule);

  // N-CREATE: a new identity (the requested UID, or one generated from the
  // date, the process clock, the socket handle and the film session counter),
  // the attributes of dataset and an empty film box list. Returns 0.
  uint16_t Create(const DcmObj &dataset, const std::string &requestedUID, int socketHandle);

  // Gives a new film box, before its FilmBox::Create, the session's print
  // settings, calibration flag, copies, calling AE title, illumination and
  // film session label.
  void PrepareFilmBox(FilmBox &filmBox) const;

  // N-ACTION: prints every film box to PrinterName; 0x0112 when requestedUID
  // is not this session's or there are no film boxes, else the status of the
  // last film box.
  int Print(const std::string &requestedUID);

  // N-DELETE: releases and destroys every film box; 0x0112 when requestedUID
  // is not this session's.
  uint16_t Delete(const std::string &requestedUID);

  // NumberOfCopies as a positive decimal integer, else 1.
  int32_t Copies() const;

private:
  // The settings a film box takes from its film session for composition and output.
  void CopyPrintSettings(FilmBox &filmBox) const;
};
