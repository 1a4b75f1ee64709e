#pragma once
// Checks on the SOP instance UIDs that a print SCU asks for.
#include <string>

// True when uid is a DICOM UID: 1 to 64 characters, digits and dots only. Such
// UIDs end up in file names, so nothing else is accepted.
bool IsValidUID(const std::string &uid);

// True when the SCU asked for no UID or for a valid one; otherwise writes
// "ERROR, " operation ", invalid SOP Instance UID: " uid and returns false.
bool AcceptableRequestedUID(const std::string &uid, const char *operation);
