#include "print/print_requests.h"

#include "dicom/dcm_obj.h"
#include "frame/event_log.h"
#include "net/dimse_messages.h"

namespace {

// Processing failure: the request was read, but nothing serves it yet.
constexpr uint16_t kProcessingFailure = 0x0110;

PrintAnswer NotServed(const char* service, const PrintRequest& request) {
  WriteLog(std::string("WARNING, ") + service + " not served: " + request.sopClassUID + ", " +
           request.sopInstanceUID);
  request.dataSet.Clear();
  return {kProcessingFailure, false};
}

} // namespace

std::unique_ptr<PrintState> CreatePrintState() { return std::make_unique<PrintState>(); }

PrintAnswer HandleNCreate(PrintState&, PrintRequest& request) {
  NCreate::ReadRQ(&request.association, request.command, &request.dataSet);
  return NotServed("N-CREATE", request);
}

PrintAnswer HandleNSet(PrintState&, PrintRequest& request) {
  NSet::ReadRQ(&request.association, request.command, &request.dataSet);
  return NotServed("N-SET", request);
}

PrintAnswer HandleNAction(PrintState&, PrintRequest& request) {
  NAction::ReadRQ(&request.association, request.command, &request.dataSet);
  return NotServed("N-ACTION", request);
}

PrintAnswer HandleNDelete(PrintState&, PrintRequest& request) {
  NDelete::ReadRQ(&request.association, request.command);
  return NotServed("N-DELETE", request);
}

void ReleaseFilmBoxes(PrintState& state) {
  for (auto& filmBox : state.filmSession.FilmBoxes)
    filmBox->Release();
  state.filmSession.FilmBoxes.clear();
}

void FinishStoredSession(PrintState&, const std::string&) {}
