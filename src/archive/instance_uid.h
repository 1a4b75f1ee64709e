#pragma once
// UIDs of the objects sent to the PACS.
#include <string>

// MakeUID (date "yyyymmdd", time "hhnnss", installation number) with an
// 8-digit serial in place of parts A and B. MakeUID alone resolves only
// minutes, so two films sent within one minute would share their UIDs and
// the PACS would keep only the second. The serial starts from the wall
// clock's milliseconds and grows by one per UID, so UIDs differ within one
// process and across restarts unless a process made more UIDs than
// milliseconds passed until the next start.
std::string UniqueUID(const std::string &installationNumber, const std::string &date,
                      const std::string &time);
