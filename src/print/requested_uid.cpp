#include "print/requested_uid.h"

bool IsValidUID(const std::string& uid) {
  if (uid.empty() || uid.size() > 64) return false;
  for (char c : uid)
    if (c != '.' && (c < '0' || c > '9')) return false;
  return true;
}
