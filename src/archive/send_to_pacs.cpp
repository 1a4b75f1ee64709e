#include "archive/send_to_pacs.h"

#include "frame/event_log.h"

// Forwarding is not built yet: every send fails, and the JPEG stays in its folder.
bool SendToPACS(const std::string& jpegPath, const std::string&, const std::string&, int32_t) {
  WriteLog("ERROR, SendToPACS, sending to a PACS is not available, " + jpegPath);
  return false;
}
