#include "print/requested_uid.h"

#include "frame/event_log.h"

bool IsValidUID(const std::string &uid) {
  if (uid.empty() || uid.size() > 64)
    return false;
  for (char c : uid)
    if (c != '.' && (c < '0' || c > '9'))
      return false;
  return true;
}

bool AcceptableRequestedUID(const std::string &uid, const char *operation) {
  if (uid.empty() || IsValidUID(uid))
    return true;
  WriteLog(std::string("ERROR, ") + operation + ", invalid SOP Instance UID: " + uid);
  return false;
}
