#pragma once
// DIMSE messages over an association: request checks and response writers of
// the provider side, and the C-STORE request and response of the user side.
#include <cstdint>
#include <string>

class DcmObj;
class PDU_Service;

class CEcho {
public:
  static bool ReadRQ(const DcmObj &command);
  static bool WriteRSP(PDU_Service &pdu, const DcmObj &request);
};

class CStore {
public:
  // Checks the request and reads its data set into dataSet (when both are given).
  static bool ReadRQ(PDU_Service *pdu, const DcmObj &command, DcmObj *dataSet);
  static bool WriteRSP(PDU_Service &pdu, const DcmObj *request, uint16_t status);
  static bool WriteRQ(PDU_Service &pdu, DcmObj *dataSet, const std::string &sopClassUID);
  // The response status, -1 when no message could be read, -2 when it is not a C-STORE-RSP.
  static int ReadRSP(PDU_Service &pdu);
};

// The shared record and response writer of the N-services.
class NMessage {
public:
  explicit NMessage(uint16_t responseField) : CommandField(responseField) {}
  // Sends the response command set, then the data set when it is not empty.
  bool WriteRSP(PDU_Service &pdu, const DcmObj &request, DcmObj *dataSet,
                const std::string &instanceUID, const std::string &classUID, uint16_t status);

  uint16_t CommandField;
  uint16_t MessageIDBeingRespondedTo = 0;
  uint16_t DataSetType = 0;
  uint16_t ActionTypeID = 0; // 0: not written

protected:
  // Request check shared by N-SET, N-CREATE, N-ACTION and N-DELETE.
  static bool ReadRQ(PDU_Service *pdu, const DcmObj &command, DcmObj *dataSet,
                     uint16_t requestField);
};

class NGet : public NMessage {
public:
  NGet() : NMessage(0x8110) {}
  static bool ReadRQ(const DcmObj &command);
};

class NSet : public NMessage {
public:
  NSet() : NMessage(0x8120) {}
  static bool ReadRQ(PDU_Service *pdu, const DcmObj &command, DcmObj *dataSet);
};

class NCreate : public NMessage {
public:
  NCreate() : NMessage(0x8140) {}
  static bool ReadRQ(PDU_Service *pdu, const DcmObj &command, DcmObj *dataSet);
};

class NAction : public NMessage {
public:
  NAction() : NMessage(0x8130) {}
  static bool ReadRQ(PDU_Service *pdu, const DcmObj &command, DcmObj *dataSet);
  bool WriteRSP(PDU_Service &pdu, const DcmObj &request, DcmObj *dataSet,
                const std::string &instanceUID, const std::string &classUID, uint16_t actionTypeID,
                uint16_t status);
};

class NDelete : public NMessage {
public:
  NDelete() : NMessage(0x8150) {}
  static bool ReadRQ(PDU_Service *pdu, const DcmObj &command);
  // Never sends a data set.
  bool WriteRSP(PDU_Service &pdu, const DcmObj &request, const std::string &instanceUID,
                const std::string &classUID, uint16_t status);
};
