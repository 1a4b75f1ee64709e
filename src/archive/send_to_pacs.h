#pragma once
// Forwarding of a composed film to the configured PACS by C-STORE.
#include <cstdint>
#include <string>

// Wraps the JPEG file at jpegPath into a Secondary Capture image (format not 0)
// or an Encapsulated PDF document (format 0) and stores it on the PACS of the
// configuration. The calling AE title of the print job stands as the patient's
// name, the film size ID as the accession number. True when the PACS answered
// the C-STORE with status 0.
bool SendToPACS(const std::string &jpegPath, const std::string &callingAETitle,
                const std::string &filmSizeID, int32_t pacsFormat);
