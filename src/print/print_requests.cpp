#include "print/print_requests.h"

#include <exception>
#include <optional>

#include "dicom/dcm_obj.h"
#include "frame/configuration.h"
#include "frame/event_log.h"
#include "net/dimse_messages.h"
#include "net/pdu_service.h"
#include "rules/printing_rule.h"

namespace {

constexpr const char *kFilmSessionClassUID = "1.2.840.10008.5.1.1.1";
constexpr const char *kFilmBoxClassUID = "1.2.840.10008.5.1.1.2";
constexpr const char *kPresentationLUTClassUID = "1.2.840.10008.5.1.1.23";
constexpr const char *kColorPrintMetaClassUID = "1.2.840.10008.5.1.1.18";
// Films of this destination are recorded as Stored Print objects.
constexpr const char *kStoredPrintDestination = "DICOM";
// A called AE title that makes every film of the session a calibration film.
constexpr const char *kCalibrationAETitle = "CALIBRATION";

constexpr uint16_t kStatusNoSuchSOPClass = 0x0118;
constexpr uint16_t kStatusPresentationLUTRefused = 0x0115;

constexpr PrintAnswer kEndAssociation{0, true};

void LogInfo(const std::string &line) {
  if (LogEnabled(1))
    WriteLog(line);
}

void LogOutcome(uint16_t status, const std::string &failure, const std::string &success) {
  if (status != kStatusSuccess)
    WriteLog(failure + std::to_string(status));
  else
    LogInfo(success);
}

bool IsStoredPrint(const FilmSession &session) {
  return session.PrinterName == kStoredPrintDestination;
}

using DataSetReader = bool (*)(PDU_Service *, const DcmObj &, DcmObj *);

// Reads the request's data set. A read that fails or throws leaves the
// association in no state to answer: it is logged and released, and the
// caller ends the association without a response.
bool GuardedRead(DataSetReader read, PrintRequest &request, const char *failureLine) {
  bool done = false;
  try {
    done = read(&request.association, request.command, &request.dataSet);
  } catch (...) {
    done = false;
  }
  if (done)
    return true;
  WriteLog(failureLine);
  request.association.Release();
  return false;
}

FilmBox *FindFilmBox(FilmSession &session, const std::string &uid) {
  for (auto &filmBox : session.FilmBoxes)
    if (filmBox->SOPInstanceUID == uid)
      return filmBox.get();
  return nullptr;
}

// The rule the called AE title names, else the default rule; logs the match.
std::optional<PrintingRule> ChooseRule(const std::string &calledAETitle, int32_t aetIndex) {
  std::optional<PrintingRule> rule = ProcessPrintingRules().Select(calledAETitle, -1);
  LogInfo("INFO, AET = " + calledAETitle + ", Printer Name = " + (rule ? rule->Destination : ""));
  if (!rule && aetIndex >= 0)
    rule = ProcessPrintingRules().At(static_cast<size_t>(aetIndex));
  return rule;
}

PrintAnswer CreateFilmSession(PrintState &state, PrintRequest &request) {
  const auto config = CurrentConfiguration();
  const std::optional<PrintingRule> rule = ChooseRule(request.calledAETitle, config->AETIndex);
  if (!rule) {
    WriteLog("ERROR, No printing rules defined");
    request.association.Release();
    return kEndAssociation;
  }
  FilmSession &session = state.filmSession;
  // A session replaced within the association closes its folder first.
  if (IsStoredPrint(session))
    FinishStoredSession(state.storedSession, request.calledAETitle);
  state.storedSession = StoredSession();

  session.ApplyRule(*rule);
  session.Calibration = config->Calibration || request.calledAETitle == kCalibrationAETitle;
  session.ScaleBar = config->ScaleBar;
  session.Header = config->Header;
  session.HeaderPos = config->HeaderPos;
  session.Footer = config->Footer;
  session.FooterPos = config->FooterPos;
  session.CallingAETitle = request.callingAETitle;
  const uint16_t status = session.Create(request.dataSet, request.sopInstanceUID, request.socket);
  if (request.sopInstanceUID.empty())
    request.sopInstanceUID = session.SOPInstanceUID;
  if (IsStoredPrint(session))
    StartStoredSession(state.storedSession, request.dataSet);
  LogOutcome(status, "ERROR, Create Film Session: ", "INFO, Successful Create Film Session");
  request.dataSet.Clear();
  return {status, false};
}

// A film box created on the Basic Color Print Management Meta SOP Class is a
// colour film box.
bool ArrivedOnColorContext(const PDU_Service &association) {
  bool color = false;
  const uint8_t contextID = association.pdata.PresentationContextID;
  for (const auto &proposed : association.assocRQ.PresContexts) {
    if (proposed->PresentationContextID != contextID)
      continue;
    LogInfo("INFO, Abstract Syntax: " + proposed->AbsSyntax.Text);
    if (proposed->AbsSyntax.Text == kColorPrintMetaClassUID)
      color = true;
  }
  return color;
}

PrintAnswer CreateFilmBox(PrintState &state, PrintRequest &request) {
  FilmSession &session = state.filmSession;
  auto filmBox = std::make_unique<FilmBox>();
  session.PrepareFilmBox(*filmBox);
  filmBox->Color = ArrivedOnColorContext(request.association);
  const uint16_t status =
      filmBox->Create(session.SOPInstanceUID, request.dataSet, request.sopInstanceUID);
  if (request.sopInstanceUID.empty())
    request.sopInstanceUID = filmBox->SOPInstanceUID;
  // A film box whose creation failed has no usable UID to store under.
  if (IsStoredPrint(session) && status == kStatusSuccess)
    AddStoredPrint(state.storedSession, request.dataSet, filmBox->SOPInstanceUID,
                   request.callingAETitle, request.calledAETitle, kStoredPrintDestination);
  session.FilmBoxes.push_back(std::move(filmBox));
  LogOutcome(status, "ERROR, Create Film Box: ", "INFO, Successful Create Film Box");
  return {status, false};
}

uint16_t SetImageBox(PrintState &state, PrintRequest &request) {
  FilmSession &session = state.filmSession;
  uint16_t status = kStatusNoSuchObjectInstance;
  WriteLog("INFO, N-SET Start, Filmboxes: " + std::to_string(session.FilmBoxes.size()));
  for (auto &filmBox : session.FilmBoxes) {
    WriteLog("INFO, N-SET, PrinterName: " + session.PrinterName);
    WriteLog("INFO, N-SET , Imageboxes: " + std::to_string(filmBox->ImageBoxes.size()));
    for (auto &imageBox : filmBox->ImageBoxes) {
      WriteLog("INFO, N-SET, SOPInstanceUID: " + imageBox->SOPInstanceUID);
      if (imageBox->SOPInstanceUID != request.sopInstanceUID)
        continue;
      if (IsStoredPrint(session)) {
        StoredPrint *storedPrint = FindStoredPrint(state.storedSession, filmBox->SOPInstanceUID);
        if (storedPrint) {
          status = AddHardcopyImage(*storedPrint, request.dataSet, imageBox->SOPInstanceUID);
        } else {
          WriteLog("ERROR, MultiSCP, Not enough Stored Prints");
          status = kStatusNoSuchObjectInstance;
        }
      } else {
        status = imageBox->Set(request.dataSet, state.presentationLUT);
      }
      break;
    }
  }
  if (status != kStatusSuccess) {
    WriteLog("ERROR: Set Image Box: " + std::to_string(status));
    if (status == kStatusNoSuchObjectInstance)
      WriteLog("ERROR, FilmBoxes->Count=" + std::to_string(session.FilmBoxes.size()) +
               ", SOPInstanceUID=" + request.sopInstanceUID);
  } else {
    LogInfo("INFO, Successful Set Image Box");
  }
  return status;
}

uint16_t WriteStoredFilm(PrintState &state, const FilmBox &filmBox,
                         const std::string &calledAETitle) {
  StoredPrint *storedPrint = FindStoredPrint(state.storedSession, filmBox.SOPInstanceUID);
  if (!storedPrint) {
    WriteLog("ERROR, MultiSCP, not enough Stored Prints");
    return kStatusNoSuchObjectInstance;
  }
  return WriteStoredPrint(*storedPrint, calledAETitle) ? kStatusSuccess
                                                       : kStatusNoSuchObjectInstance;
}

uint16_t PrintFilmSession(PrintState &state, PrintRequest &request) {
  FilmSession &session = state.filmSession;
  if (!IsStoredPrint(session))
    return static_cast<uint16_t>(session.Print(request.sopInstanceUID));
  if (request.sopInstanceUID != session.SOPInstanceUID)
    return kStatusNoSuchObjectInstance;
  uint16_t status = kStatusNoSuchObjectInstance; // a session without film boxes prints nothing
  for (const auto &filmBox : session.FilmBoxes)
    status = WriteStoredFilm(state, *filmBox, request.calledAETitle);
  return status;
}

uint16_t PrintFilmBox(PrintState &state, PrintRequest &request) {
  FilmSession &session = state.filmSession;
  FilmBox *filmBox = FindFilmBox(session, request.sopInstanceUID);
  if (!filmBox)
    return kStatusNoSuchObjectInstance;
  if (IsStoredPrint(session))
    return WriteStoredFilm(state, *filmBox, request.calledAETitle);
  try {
    return static_cast<uint16_t>(filmBox->Print(session.PrinterName));
  } catch (const std::exception &error) {
    WriteLog(std::string("ERROR, MultiSCP, fb->Print, ") + error.what());
  } catch (...) {
    WriteLog("ERROR, MultiSCP, fb->Print, indeterminate error");
  }
  return kStatusNoSuchObjectInstance;
}

} // namespace

std::unique_ptr<PrintState> CreatePrintState() { return std::make_unique<PrintState>(); }

PrintAnswer HandleNCreate(PrintState &state, PrintRequest &request) {
  LogInfo("N-CREATE: " + request.sopClassUID + ", " + request.sopInstanceUID);
  if (!GuardedRead(&NCreate::ReadRQ, request, "ERROR: Exception Read Create RQ"))
    return kEndAssociation;
  if (request.sopClassUID == kFilmSessionClassUID)
    return CreateFilmSession(state, request);
  if (request.sopClassUID == kFilmBoxClassUID)
    return CreateFilmBox(state, request);
  uint16_t status = kStatusSuccess;
  if (request.sopClassUID == kPresentationLUTClassUID && CurrentConfiguration()->PresentationLUT &&
      !state.presentationLUT.Read(request.dataSet)) {
    WriteLog("ERROR, Presentation LUT Shape");
    status = kStatusPresentationLUTRefused;
  }
  request.dataSet.Clear();
  return {status, false};
}

PrintAnswer HandleNSet(PrintState &state, PrintRequest &request) {
  LogInfo("N-SET: " + request.sopClassUID + ", " + request.sopInstanceUID);
  if (!GuardedRead(&NSet::ReadRQ, request, "ERROR: Exception Read Set RQ"))
    return kEndAssociation;
  if (request.sopClassUID == kFilmSessionClassUID) {
    WriteLog("WARNING, Film Session SET not supported");
    return {kStatusSuccess, false};
  }
  if (request.sopClassUID == kBasicGrayscaleImageBoxUID ||
      request.sopClassUID == kBasicColorImageBoxUID)
    return {SetImageBox(state, request), false};
  return {kStatusNoSuchSOPClass, false};
}

PrintAnswer HandleNAction(PrintState &state, PrintRequest &request) {
  LogInfo("N-ACTION: " + request.sopClassUID + ", " + request.sopInstanceUID);
  if (!GuardedRead(&NAction::ReadRQ, request, "ERROR: Exception Read Action RQ"))
    return kEndAssociation;
  const std::string &printerName = state.filmSession.PrinterName;
  if (printerName.empty()) {
    WriteLog("ERROR, There are no printers defined!");
    return {kStatusNoSuchObjectInstance, false};
  }
  WriteLog("INFO, NACTION, PrinterName: " + printerName);
  uint16_t status = kStatusNoSuchSOPClass;
  if (request.sopClassUID == kFilmSessionClassUID) {
    status = PrintFilmSession(state, request);
    LogOutcome(status, "ERROR: Print Film Session: ", "INFO, Successful Print Film Session");
  } else if (request.sopClassUID == kFilmBoxClassUID) {
    status = PrintFilmBox(state, request);
    LogOutcome(status, "ERROR: Print Film Box: ", "INFO, Successful Print Film Box");
  }
  return {status, false};
}

PrintAnswer HandleNDelete(PrintState &state, PrintRequest &request) {
  LogInfo("N-DELETE");
  NDelete::ReadRQ(&request.association, request.command);
  FilmSession &session = state.filmSession;
  uint16_t status = kStatusNoSuchSOPClass;
  if (request.sopClassUID == kFilmSessionClassUID) {
    status = session.Delete(request.sopInstanceUID);
    if (status == kStatusSuccess)
      state.storedSession.StoredPrints.clear();
    LogOutcome(status, "ERROR, Delete Film Session: ", "INFO, Successful Delete Film Session");
  } else if (request.sopClassUID == kFilmBoxClassUID) {
    status = kStatusNoSuchObjectInstance;
    for (auto it = session.FilmBoxes.begin(); it != session.FilmBoxes.end(); ++it) {
      if ((*it)->SOPInstanceUID != request.sopInstanceUID)
        continue;
      status = (*it)->Release();
      RemoveStoredPrint(state.storedSession, request.sopInstanceUID);
      session.FilmBoxes.erase(it);
      break;
    }
    LogOutcome(status, "ERROR, Delete Film Box: ", "INFO, Successful Delete Film Box");
  } else if (request.sopClassUID == kPresentationLUTClassUID) {
    status = kStatusNoSuchObjectInstance; // no Presentation LUT is ever created
  }
  return {status, false};
}

void ReleaseFilmBoxes(PrintState &state) {
  for (auto &filmBox : state.filmSession.FilmBoxes)
    filmBox->Release();
  state.filmSession.FilmBoxes.clear();
}

void FinishStoredSession(PrintState &state, const std::string &calledAETitle) {
  if (IsStoredPrint(state.filmSession))
    FinishStoredSession(state.storedSession, calledAETitle);
}
