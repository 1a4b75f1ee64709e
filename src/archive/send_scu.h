#pragma once
// Storage SCU: one object stored on a PACS over an association of its own.
#include <string>

class DcmObj;

// Calling AE title of every send to the PACS, and the time-out of its association.
inline constexpr const char *kPacsCallingAETitle = "MERILDAN";
inline constexpr unsigned kPacsTimeoutSeconds = 30;

// Opens an association for the object's SOP class and transfer syntax,
// sends one C-STORE and releases. True only when the PACS answered status 0.
bool SendSCU(const std::string &callingAE, const std::string &calledAE, const std::string &host,
             const std::string &port, DcmObj &object, unsigned timeoutSeconds);

// The steps of SendSCU for the given SOP class; failures are logged as
// "ERROR, " + caller + ", ...". An object in a compressed transfer syntax is
// not sent when the PACS accepted only another syntax for it: its bytes would
// be read as uncompressed pixels.
bool StoreObject(const std::string &caller, const std::string &callingAE,
                 const std::string &calledAE, const std::string &host, const std::string &port,
                 DcmObj &object, const std::string &sopClassUID, unsigned timeoutSeconds);
