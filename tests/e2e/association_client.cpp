#include "association_client.h"

#include "dicom/dcm_obj.h"
#include "dicom/dimse_command.h"
#include "dicom/transfer_syntax.h"

namespace testing_support {

bool Associate(PDU_Service& pdu, int port, const std::vector<ProposedContext>& contexts,
               const std::string& calledAE) {
  pdu.assocRQ.SetCallingApTitle("TESTSCU");
  pdu.assocRQ.SetCalledApTitle(calledAE);
  uint8_t id = 1;
  for (const ProposedContext& proposed : contexts) {
    auto context = std::make_unique<PresentationContext>();
    context->PresentationContextID = id;
    id += 2;
    context->SetAbstractSyntax(proposed.abstractSyntax);
    for (const std::string& transferSyntax : proposed.transferSyntaxes)
      context->AddTransferSyntax(transferSyntax);
    pdu.assocRQ.AddPresentationContext(std::move(context));
  }
  pdu.Link.dsocket.SetTimeout(20);
  return pdu.Connect("127.0.0.1", std::to_string(port));
}

bool Echo(PDU_Service& pdu, uint16_t messageID) {
  CommandFields fields;
  fields.AffectedSOPClassUID = "1.2.840.10008.1.1";
  fields.CommandField = dimse::C_ECHO_RQ;
  fields.MessageID = messageID;
  DcmObj request;
  BuildCommandSet(fields, request);
  if (!pdu.Write(request, 1))
    return false;
  DcmObj response;
  return pdu.Read(response) && response.GetUShort(0x0000, 0x0100) == dimse::C_ECHO_RSP &&
         response.Find(0x0000, 0x0900) != nullptr && response.GetUShort(0x0000, 0x0900) == 0;
}

} // namespace testing_support
