#include "net/print_scu.h"

#include <string_view>

#include "dicom/dimse_command.h"
#include "frame/event_log.h"
#include "net/pdu_service.h"

namespace {

uint32_t Even(size_t length) { return static_cast<uint32_t>(length + (length & 1)); }

// N-CREATE addresses the affected SOP class and instance, the other N-services
// the requested ones (PS3.7 10.3).
void BuildNRequest(uint16_t commandField, uint16_t messageID, const std::string &classUID,
                   const std::string &instanceUID, bool withDataSet, uint16_t actionTypeID,
                   DcmObj &command) {
  const bool create = commandField == dimse::N_CREATE_RQ;
  const bool action = commandField == dimse::N_ACTION_RQ;
  uint32_t length = 8 + Even(classUID.size()) + 3 * 10;
  if (!instanceUID.empty())
    length += 8 + Even(instanceUID.size());
  if (action)
    length += 10;
  command.Add(new DcmTag(0x0000, 0x0000, length, "UL"));
  command.Add(new DcmTag(0x0000, create ? 0x0002 : 0x0003, std::string_view(classUID), "UI"));
  command.Add(new DcmTag(0x0000, 0x0100, commandField, "US"));
  command.Add(new DcmTag(0x0000, 0x0110, messageID, "US"));
  command.Add(
      new DcmTag(0x0000, 0x0800, withDataSet ? dimse::kDataSetPresent : dimse::kNoDataSet, "US"));
  if (!instanceUID.empty())
    command.Add(new DcmTag(0x0000, create ? 0x1000 : 0x1001, std::string_view(instanceUID), "UI"));
  if (action)
    command.Add(new DcmTag(0x0000, 0x1008, actionTypeID, "US"));
}

} // namespace

std::unique_ptr<DcmTag> ItemTag(uint16_t element, uint32_t length) {
  auto tag = std::make_unique<DcmTag>(0xFFFE, element, length, nullptr, "");
  tag->VR.clear();
  return tag;
}

bool SendNRequest(PDU_Service &pdu, uint16_t commandField, uint16_t messageID,
                  const std::string &classUID, const std::string &instanceUID, DcmObj *dataSet,
                  NResponse &response, uint16_t actionTypeID) {
  response.Status = -1;
  response.InstanceUID.clear();
  response.DataSet.Clear();
  const bool withDataSet = dataSet != nullptr && !dataSet->Tags.empty();
  DcmObj command;
  BuildNRequest(commandField, messageID, classUID, instanceUID, withDataSet, actionTypeID, command);
  if (!pdu.Write(command, 1) || (withDataSet && !pdu.Write(*dataSet, 0))) {
    WriteLog("ERROR, SendNRequest, request not sent");
    return false;
  }
  DcmObj answer;
  if (!pdu.Read(answer)) {
    WriteLog("ERROR, SendNRequest, no response");
    return false;
  }
  const uint16_t field = answer.GetUShort(0x0000, 0x0100);
  if (field != (commandField | 0x8000) || answer.GetUShort(0x0000, 0x0120) != messageID ||
      answer.Find(0x0000, 0x0900) == nullptr) {
    WriteLog("ERROR, SendNRequest, unexpected response, command field " + std::to_string(field));
    return false;
  }
  if (answer.GetUShort(0x0000, 0x0800) != dimse::kNoDataSet && !pdu.Read(response.DataSet)) {
    WriteLog("ERROR, SendNRequest, response data set not read");
    return false;
  }
  response.Status = answer.GetUShort(0x0000, 0x0900);
  response.InstanceUID = answer.GetString(0x0000, 0x1000);
  return true;
}

int SendEcho(PDU_Service &pdu, uint16_t messageID) {
  CommandFields fields;
  fields.AffectedSOPClassUID = "1.2.840.10008.1.1";
  fields.CommandField = dimse::C_ECHO_RQ;
  fields.MessageID = messageID;
  DcmObj request;
  BuildCommandSet(fields, request);
  DcmObj answer;
  if (!pdu.Write(request, 1) || !pdu.Read(answer) ||
      answer.GetUShort(0x0000, 0x0100) != dimse::C_ECHO_RSP ||
      answer.GetUShort(0x0000, 0x0120) != messageID || answer.Find(0x0000, 0x0900) == nullptr)
    return -1;
  return answer.GetUShort(0x0000, 0x0900);
}
