#pragma once
// One DICOM association, from either side: transport, association PDUs and
// P-DATA framing of DIMSE message parts.
#include <cstdint>
#include <string>
#include <vector>

#include "net/buffer.h"
#include "net/pdata_tf.h"
#include "net/pdu.h"

class DcmObj;

class PDU_Service {
public:
  PDU_Service();
  virtual ~PDU_Service();
  PDU_Service(const PDU_Service &) = delete;
  PDU_Service &operator=(const PDU_Service &) = delete;

  // SCU: opens the association proposed in assocRQ.
  bool Connect(const std::string &host, const std::string &port);
  bool InterogateAAssociateAC();
  // SCP: reads the A-ASSOCIATE-RQ into assocRQ. A PDU that is not an
  // A-ASSOCIATE-RQ or breaks its framing or limits is answered with an A-ABORT
  // and the connection closed; the result is false only then (or on a transport
  // failure). Warnings of the reader alone still give true.
  bool ReadAssociateRQ();
  // The next message part (command set or data set), decoded into obj.
  bool Read(DcmObj &obj);
  // mode 1: command set, 0: data set.
  bool Write(DcmObj &obj, int mode);
  bool GetTransferSyntaxUID(uint8_t presentationContextID, std::string &transferSyntax);
  // SCU release.
  bool Release();
  // Sends an A-ABORT (source 2, the given reason) and closes the connection.
  void Abort(uint8_t reason);
  // Decodes the gathered message part; value is left empty, its storage kept.
  bool ParseRawVRIntoDCM(std::vector<uint8_t> &value, DcmObj &obj, uint8_t presentationContextID);
  bool ParseDCMIntoRawVR(DcmObj &obj, Buffer &vrBuffer);

  bool LogDataSets = false;
  std::string UserName;
  std::string Passcode;
  std::vector<PresentationContextAccept *> AcceptedPresContexts; // owned by assocAC
  Buffer Link;
  AAssociateRQ assocRQ;
  AAssociateAC assocAC;
  AAssociateRJ assocRJ;
  AReleaseRQ releaseRQ;
  AReleaseRP releaseRP;
  AAbortRQ abortRQ;
  PDataTF pdata;

private:
  void LogDataSet(DcmObj &obj, const char *direction);
  // The codec stream of the last outgoing message part, emptied, with its capacity.
  std::vector<uint8_t> TakeStream();
  void KeepStream(std::vector<uint8_t> stream);

  std::vector<uint8_t> codecStream;
};
