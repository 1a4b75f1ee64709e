#include "net/dimse_messages.h"

#include "dicom/dcm_obj.h"
#include "dicom/dimse_command.h"
#include "frame/event_log.h"
#include "net/pdu_items.h"
#include "net/pdu_service.h"

namespace {

uint16_t CommandFieldOf(const DcmObj &command) { return command.GetUShort(0x0000, 0x0100); }
uint16_t DataSetTypeOf(const DcmObj &command) { return command.GetUShort(0x0000, 0x0800); }

bool WriteCommand(PDU_Service &pdu, const CommandFields &fields) {
  DcmObj command;
  BuildCommandSet(fields, command);
  return pdu.Write(command, 1);
}

} // namespace

// ---- C-ECHO

bool CEcho::ReadRQ(const DcmObj &command) { return CommandFieldOf(command) == dimse::C_ECHO_RQ; }

bool CEcho::WriteRSP(PDU_Service &pdu, const DcmObj &request) {
  CommandFields fields;
  fields.AffectedSOPClassUID = request.GetString(0x0000, 0x0002);
  if (fields.AffectedSOPClassUID.empty())
    return false;
  fields.CommandField = dimse::C_ECHO_RSP;
  fields.MessageIDRespondedTo = request.GetUShort(0x0000, 0x0110);
  fields.DataSetType = DataSetTypeOf(request);
  fields.Status = 0;
  return WriteCommand(pdu, fields);
}

// ---- C-STORE

bool CStore::ReadRQ(PDU_Service *pdu, const DcmObj &command, DcmObj *dataSet) {
  if (command.Count() == 0) {
    WriteLog("ERROR, CStore::ReadRQ, DCO->Count == 0");
    return false;
  }
  if (CommandFieldOf(command) != dimse::C_STORE_RQ) {
    WriteLog("ERROR, CStore::ReadRQ, not a C-Store RQ");
    return false;
  }
  if (DataSetTypeOf(command) == dimse::kNoDataSet) {
    WriteLog("ERROR, CStore::ReadRQ, C-Store Request without data section");
    return false;
  }
  if (pdu != nullptr && dataSet != nullptr)
    return pdu->Read(*dataSet);
  return true;
}

bool CStore::WriteRSP(PDU_Service &pdu, const DcmObj *request, uint16_t status) {
  if (request == nullptr) {
    WriteLog("ERROR, CStore::WriteRSP, DCO is NULL");
    return false;
  }
  CommandFields fields;
  fields.AffectedSOPClassUID = request->GetString(0x0000, 0x0002);
  fields.AffectedSOPInstanceUID = request->GetString(0x0000, 0x1000);
  if (fields.AffectedSOPClassUID.empty()) {
    WriteLog("ERROR, CStore::WriteRSP, SOP Class UID is empty");
    return false;
  }
  if (fields.AffectedSOPInstanceUID.empty()) {
    WriteLog("ERROR, CStore::WriteRSP, SOP Instance UID is empty");
    return false;
  }
  fields.CommandField = dimse::C_STORE_RSP;
  fields.MessageIDRespondedTo = request->GetUShort(0x0000, 0x0110);
  fields.DataSetType = dimse::kNoDataSet;
  fields.Status = status;
  if (WriteCommand(pdu, fields))
    return true;
  WriteLog("ERROR, CStore::WriteRSP, PDU->Write for DCOR failed");
  return false;
}

bool CStore::WriteRQ(PDU_Service &pdu, DcmObj *dataSet, const std::string &sopClassUID) {
  CommandFields fields;
  fields.AffectedSOPClassUID = sopClassUID;
  if (dataSet != nullptr)
    fields.AffectedSOPInstanceUID = dataSet->GetString(0x0008, 0x0018);
  fields.CommandField = dimse::C_STORE_RQ;
  fields.MessageID = NextMessageID();
  fields.Priority = 0;
  fields.DataSetType = dimse::kDataSetPresent;
  if (!WriteCommand(pdu, fields)) {
    WriteLog("ERROR, CStore::WriteRQ, PDU->Write DCO failed");
    return false;
  }
  return dataSet == nullptr || pdu.Write(*dataSet, 0);
}

int CStore::ReadRSP(PDU_Service &pdu) {
  DcmObj response;
  if (!pdu.Read(response)) {
    WriteLog("ERROR, CStore::ReadRSP, PDU->Read DCO failed");
    return -1;
  }
  if (CommandFieldOf(response) != dimse::C_STORE_RSP) {
    WriteLog("ERROR, CStore::ReadRSP, not a C-Store RSP");
    return -2;
  }
  int status = response.GetUShort(0x0000, 0x0900);
  if (status != 0)
    WriteLog("ERROR, CStore::ReadRSP, status == " + std::to_string(status));
  return status;
}

// ---- N-services

bool NMessage::ReadRQ(PDU_Service *pdu, const DcmObj &command, DcmObj *dataSet,
                      uint16_t requestField) {
  if (command.Count() == 0 || CommandFieldOf(command) != requestField)
    return false;
  if (DataSetTypeOf(command) != dimse::kNoDataSet && pdu != nullptr && dataSet != nullptr)
    return pdu->Read(*dataSet);
  return true;
}

bool NMessage::WriteRSP(PDU_Service &pdu, const DcmObj &request, DcmObj *dataSet,
                        const std::string &instanceUID, const std::string &classUID,
                        uint16_t status) {
  if (request.Count() == 0)
    return false;
  bool withDataSet = dataSet != nullptr && dataSet->Count() > 0;
  MessageIDBeingRespondedTo = request.GetUShort(0x0000, 0x0110);
  DataSetType = withDataSet ? dimse::kDataSetPresent : dimse::kNoDataSet;
  CommandFields fields;
  fields.AffectedSOPClassUID = classUID;
  fields.CommandField = CommandField;
  fields.MessageIDRespondedTo = MessageIDBeingRespondedTo;
  fields.DataSetType = DataSetType;
  fields.Status = status;
  fields.AffectedSOPInstanceUID = instanceUID;
  if (ActionTypeID != 0)
    fields.ActionTypeID = ActionTypeID;
  if (!WriteCommand(pdu, fields))
    return false;
  return !withDataSet || pdu.Write(*dataSet, 0);
}

bool NGet::ReadRQ(const DcmObj &command) {
  return command.Count() > 0 && CommandFieldOf(command) == dimse::N_GET_RQ;
}

bool NSet::ReadRQ(PDU_Service *pdu, const DcmObj &command, DcmObj *dataSet) {
  return NMessage::ReadRQ(pdu, command, dataSet, dimse::N_SET_RQ);
}

bool NCreate::ReadRQ(PDU_Service *pdu, const DcmObj &command, DcmObj *dataSet) {
  return NMessage::ReadRQ(pdu, command, dataSet, dimse::N_CREATE_RQ);
}

bool NAction::ReadRQ(PDU_Service *pdu, const DcmObj &command, DcmObj *dataSet) {
  return NMessage::ReadRQ(pdu, command, dataSet, dimse::N_ACTION_RQ);
}

bool NAction::WriteRSP(PDU_Service &pdu, const DcmObj &request, DcmObj *dataSet,
                       const std::string &instanceUID, const std::string &classUID,
                       uint16_t actionTypeID, uint16_t status) {
  ActionTypeID = actionTypeID;
  return NMessage::WriteRSP(pdu, request, dataSet, instanceUID, classUID, status);
}

bool NDelete::ReadRQ(PDU_Service *pdu, const DcmObj &command) {
  return NMessage::ReadRQ(pdu, command, nullptr, dimse::N_DELETE_RQ);
}

bool NDelete::WriteRSP(PDU_Service &pdu, const DcmObj &request, const std::string &instanceUID,
                       const std::string &classUID, uint16_t status) {
  return NMessage::WriteRSP(pdu, request, nullptr, instanceUID, classUID, status);
}
