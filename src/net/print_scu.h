#pragma once
// The user side of the DIMSE N-services (PS3.7 10.1) and of C-ECHO: one request
// on an open association and its response, with the message ID, the response
// status and the data set that came back.
#include <cstdint>
#include <memory>
#include <string>

#include "dicom/dcm_obj.h"

class DcmTag;
class PDU_Service;

// An item (FFFE,E000) or a delimitation element (FFFE,E00D / E0DD), which
// carries no VR: what the request data sets put around their sequences.
std::unique_ptr<DcmTag> ItemTag(uint16_t element, uint32_t length);

struct NResponse {
  int Status = -1;         // (0000,0900); -1 when no valid response was read
  std::string InstanceUID; // (0000,1000) Affected SOP Instance UID
  DcmObj DataSet;          // empty when none came back
};

// Builds and sends one request: N-CREATE (command field 0x0140) names the
// affected SOP class and, when not empty, the instance; N-SET, N-GET, N-ACTION
// and N-DELETE name the requested ones. actionTypeID is written for N-ACTION
// only. dataSet, when not null and not empty, follows the command set. Then
// reads the response: false when nothing could be sent or read, or the answer
// is not the response to this request (logged); response.Status holds the
// status otherwise.
bool SendNRequest(PDU_Service &pdu, uint16_t commandField, uint16_t messageID,
                  const std::string &classUID, const std::string &instanceUID, DcmObj *dataSet,
                  NResponse &response, uint16_t actionTypeID = 1);

// One C-ECHO request on the Verification SOP class; its status, or -1 when no
// C-ECHO-RSP came back.
int SendEcho(PDU_Service &pdu, uint16_t messageID);
