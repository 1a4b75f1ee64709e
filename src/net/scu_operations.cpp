#include "net/scu_operations.h"

#include <memory>

#include "dicom/dcm_obj.h"
#include "dicom/transfer_syntax.h"
#include "frame/event_log.h"
#include "net/dimse_messages.h"
#include "net/pdu_service.h"

namespace {

std::string PaddedTitle(const std::string &title) {
  std::string padded = title.substr(0, 16);
  padded.resize(16, ' ');
  return padded;
}

// Sequences and items of defined length keep their content encoded in the data
// set's own transfer syntax.
bool HoldsEncodedItems(const DcmObj &dataSet) {
  for (const auto &tag : dataSet.Tags)
    if (tag->HasData() && (tag->VR == "SQ" || tag->Is(0xFFFE, 0xE000)))
      return true;
  return false;
}

} // namespace

bool OpenAssociation(PDU_Service &pdu, const std::string &callingAE, const std::string &calledAE,
                     const std::string &host, const std::string &port,
                     const std::string &abstractSyntax, const std::string &transferSyntaxA,
                     const std::string &transferSyntaxB, unsigned timeoutSeconds) {
  std::string calling = PaddedTitle(callingAE), called = PaddedTitle(calledAE);
  pdu.assocRQ.SetCallingApTitle(calling);
  pdu.assocRQ.SetCalledApTitle(called);
  pdu.assocRQ.SetApplicationContext("1.2.840.10008.3.1.1.1");
  pdu.Link.dsocket.SetTimeout(timeoutSeconds);
  if (LogEnabled(2)) {
    WriteLog("INFO, OpenAssociation, Calling Ap. Title: " + calling);
    WriteLog("INFO, OpenAssociation, Called Ap. Title: " + called);
  }
  ResetPresentationContextCounter();
  auto context = std::make_unique<PresentationContext>();
  context->SetAbstractSyntax(abstractSyntax);
  if (!transferSyntaxB.empty())
    context->AddTransferSyntax(transferSyntaxB);
  if (!transferSyntaxA.empty() && transferSyntaxA != transferSyntaxB)
    context->AddTransferSyntax(transferSyntaxA);
  if (transferSyntaxA != ts::ImplicitLittleEndian && transferSyntaxB != ts::ImplicitLittleEndian)
    context->AddTransferSyntax(ts::ImplicitLittleEndian);
  pdu.assocRQ.AddPresentationContext(std::move(context));
  return pdu.Connect(host, port);
}

int WriteStoreRQ(PDU_Service &pdu, DcmObj &dataSet, const std::string &sopClassUID) {
  if (pdu.pdata.PresentationContextID == 0)
    return -1;
  std::string negotiated;
  if (!pdu.GetTransferSyntaxUID(pdu.pdata.PresentationContextID, negotiated))
    return -2;
  // Explicit and implicit VR little endian differ only in the element headers,
  // which the codec writes from the data set's flags: switching them converts,
  // unless items are kept as encoded bytes.
  if (negotiated == ts::ImplicitLittleEndian &&
      dataSet.TransferSyntax == ts::ExplicitLittleEndian && !HoldsEncodedItems(dataSet)) {
    dataSet.TransferSyntax = ts::ImplicitLittleEndian;
    dataSet.Explicit = false;
  }
  // Any other mismatch would reach the peer in an encoding it did not agree to.
  if (negotiated != dataSet.TransferSyntax) {
    WriteLog("ERROR, WriteStoreRQ, data set in " + dataSet.TransferSyntax +
             " cannot be sent on a context of " + negotiated);
    return -3;
  }
  return CStore::WriteRQ(pdu, &dataSet, sopClassUID) ? 0 : -4;
}
