#pragma once
// New UIDs below the implementation UID root.
#include <string>

// Registered root of every UID this system makes (29 characters).
inline constexpr const char *kImplementationUIDRoot = "2.25.323794931697563438681544";
inline constexpr const char *kImplementationClassUID = "2.25.323794931697563438681544.999";
inline constexpr const char *kImplementationVersionName = "Veltrano";

// root "." number id "." B A "." yymmdd hhnn, made a valid UID (see .cpp).
// date is "yyyymmdd", time "hhnnss". Same inputs in the same minute give the
// same UID.
std::string MakeUID(const std::string &installationId, const std::string &partA,
                    const std::string &partB, const std::string &date, const std::string &time,
                    const std::string &installationNumber);

// 8 decimal digits derived from /etc/machine-id (stable for this machine).
std::string InstallationId();
// The installation number of this installation ("1").
std::string InstallationNumber();
