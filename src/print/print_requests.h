#pragma once
// The print state of one association and the handling of its N-CREATE, N-SET,
// N-ACTION and N-DELETE requests, called by the association handler.
#include <cstdint>
#include <memory>
#include <string>

#include "archive/stored_print.h"
#include "print/film_session.h"
#include "print/presentation_lut.h"

class DcmObj;
class PDU_Service;

// Owned by the association handler from the start of the association to its end.
struct PrintState {
  FilmSession filmSession;
  PresentationLUT presentationLUT;
  StoredSession storedSession; // used when the printer name is "DICOM"
};

std::unique_ptr<PrintState> CreatePrintState();

// One request as the handler hands it over. sopInstanceUID is the requested
// instance; an N-CREATE may replace it with the instance it created.
struct PrintRequest {
  PDU_Service &association;
  const DcmObj &command;
  std::string sopClassUID;
  std::string sopInstanceUID;
  DcmObj &dataSet; // the request's data set, then the response's
  std::string callingAETitle;
  std::string calledAETitle;
  int socket;
};

// What the handler does next: send the response with status (and, for
// N-CREATE, the data set when it is not empty), or end the association at once
// without a response.
struct PrintAnswer {
  uint16_t status = 0;
  bool endAssociation = false;
};

PrintAnswer HandleNCreate(PrintState &state, PrintRequest &request);
PrintAnswer HandleNSet(PrintState &state, PrintRequest &request);
PrintAnswer HandleNAction(PrintState &state, PrintRequest &request);
PrintAnswer HandleNDelete(PrintState &state, PrintRequest &request);

// At the end of the association: releases and destroys the film boxes left.
void ReleaseFilmBoxes(PrintState &state);
// At the end of the association, after it no longer counts as active: the
// "finalized" marker of a "DICOM" session.
void FinishStoredSession(PrintState &state, const std::string &calledAETitle);
