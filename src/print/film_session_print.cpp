// Printing a film session is kept apart from the rest of the film session: it
// needs the film output, which the other operations do not.
#include <exception>

#include "frame/event_log.h"
#include "print/film_session.h"

int FilmSession::Print(const std::string &requestedUID) {
  if (requestedUID != SOPInstanceUID)
    return kStatusNoSuchObjectInstance;
  int status = kStatusNoSuchObjectInstance;
  for (auto &filmBox : FilmBoxes) {
    CopyPrintSettings(*filmBox);
    try {
      status = filmBox->Print(PrinterName);
    } catch (const std::exception &error) {
      WriteLog(std::string("ERROR, MultiSCP, fb->Print, ") + error.what());
      status = kStatusNoSuchObjectInstance;
    }
  }
  return status;
}
