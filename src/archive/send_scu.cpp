#include "archive/send_scu.h"

#include "dicom/dcm_obj.h"
#include "dicom/transfer_syntax.h"
#include "frame/event_log.h"
#include "net/dimse_messages.h"
#include "net/pdu_service.h"
#include "net/scu_operations.h"

namespace {

bool IsNativeEncoding(const std::string &transferSyntax) {
  return transferSyntax == ts::ImplicitLittleEndian || transferSyntax == ts::ExplicitLittleEndian ||
         transferSyntax == ts::ExplicitBigEndian;
}

// The object may go on the negotiated context: native encodings are
// re-encoded by the writer, compressed pixel data only travels as itself.
bool ContextFits(PDU_Service &pdu, const DcmObj &object, const std::string &caller) {
  std::string negotiated;
  if (!pdu.GetTransferSyntaxUID(pdu.pdata.PresentationContextID, negotiated) ||
      IsNativeEncoding(object.TransferSyntax) || negotiated == object.TransferSyntax)
    return true;
  WriteLog("ERROR, " + caller + ", PACS accepted transfer syntax " + negotiated + " instead of " +
           object.TransferSyntax + ", object not sent");
  return false;
}

} // namespace

bool StoreObject(const std::string &caller, const std::string &callingAE,
                 const std::string &calledAE, const std::string &host, const std::string &port,
                 DcmObj &object, const std::string &sopClassUID, unsigned timeoutSeconds) {
  PDU_Service pdu;
  bool stored = false;
  if (!OpenAssociation(pdu, callingAE, calledAE, host, port, sopClassUID, object.TransferSyntax, "",
                       timeoutSeconds)) {
    WriteLog("ERROR, " + caller + ", OpenAssoc failed");
  } else if (ContextFits(pdu, object, caller)) {
    if (WriteStoreRQ(pdu, object, sopClassUID) != 0)
      WriteLog("ERROR, " + caller + ", WriteStoreRQ failed");
    else
      stored = CStore::ReadRSP(pdu) == 0;
  }
  pdu.Release();
  return stored;
}

bool SendSCU(const std::string &callingAE, const std::string &calledAE, const std::string &host,
             const std::string &port, DcmObj &object, unsigned timeoutSeconds) {
  const std::string sopClassUID = object.GetString(0x0008, 0x0016);
  if (sopClassUID.empty())
    return false;
  return StoreObject("SendSCU", callingAE, calledAE, host, port, object, sopClassUID,
                     timeoutSeconds);
}
