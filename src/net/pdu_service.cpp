#include "net/pdu_service.h"

#include <exception>
#include <vector>

#include "dicom/buf_data.h"
#include "dicom/dcm_obj.h"
#include "dicom/make_uid.h"
#include "dicom/transfer_syntax.h"
#include "frame/event_log.h"

namespace {

// Transfer syntaxes this side can write, in no particular preference: the first
// accepted context with one of them becomes the writing context.
const char *const kWritableTransferSyntaxes[] = {
    "1.2.840.10008.1.2.4.90",  "1.2.840.10008.1.2.4.70", "1.2.840.10008.1.2.4.100",
    "1.2.840.10008.1.2.4.102", "1.2.840.10008.1.2.1",    "1.2.840.10008.1.2",
    "1.2.840.10008.1.2.4.91",  "1.2.840.10008.1.2.4.50"};

bool IsWritable(const std::string &uid) {
  for (const char *known : kWritableTransferSyntaxes)
    if (uid == known)
      return true;
  return false;
}

std::string Trimmed(const std::string &text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

constexpr uint16_t kMaximumPDULength = 16384;

// The codec's stream is kept between messages up to this capacity, so that
// large message parts do not fault in fresh pages each time.
constexpr size_t kKeptStreamCapacity = 64u << 20;

// The stream emptied with its capacity, or released when above the kept capacity.
std::vector<uint8_t> Emptied(std::vector<uint8_t> stream) {
  if (stream.capacity() > kKeptStreamCapacity)
    return {};
  stream.clear();
  return stream;
}

} // namespace

PDU_Service::PDU_Service() {
  Link.SetIncomingEndian(Buffer::kBigEndian);
  Link.SetOutgoingEndian(Buffer::kBigEndian);
}

PDU_Service::~PDU_Service() {
  if (Link.dsocket.IsConnected())
    Link.dsocket.Close();
}

void PDU_Service::Abort(uint8_t reason) {
  abortRQ.Reason = reason;
  abortRQ.Write(Link);
  Link.dsocket.Close();
}

bool PDU_Service::Connect(const std::string &host, const std::string &port) {
  try {
    pdata.Length = 0;
    UserInformation &info = assocRQ.UserInfo;
    info.SetMaximumLength(kMaximumPDULength);
    info.SetImplementationClass(kImplementationClassUID);
    info.SetImplementationVersion(kImplementationVersionName);
    if (!UserName.empty())
      info.SetUserIdentity(UserName, Passcode);
    if (!Link.dsocket.Connect(host, port)) {
      WriteLog("ERROR, PDU_Service::Connect, Socket Level Error");
      return false;
    }
    if (LogEnabled(2))
      WriteLog("INFO, Connected to: " + host + ":" + port);
    if (!assocRQ.Write(Link)) {
      WriteLog("ERROR, Association RQ failed!");
      return false;
    }
    uint8_t type = 0;
    Link >> type;
    if (LogEnabled(2))
      WriteLog("INFO, PDU_Service::Connect, Item Type: " + std::to_string(type));
    if (type == 2) {
      if (LogEnabled(2))
        WriteLog("INFO, Association Accept::ReadDynamic");
      assocAC.ItemType = type;
      assocAC.ReadDynamic(Link);
      if (assocAC.Malformed) {
        WriteLog("ERROR, PDU_Service::Connect, malformed A-ASSOCIATE-AC");
        Abort(AAbortRQ::kReasonNotSpecified);
        return false;
      }
      if (InterogateAAssociateAC())
        return true;
      Link.dsocket.Close();
      WriteLog("ERROR, PDU_Service::Connect, InterogateAAssociateAC failed");
      return false;
    }
    if (type == 3) {
      WriteLog("ERROR, Association Rejected...");
      assocRJ.ReadDynamic(Link);
      Link.dsocket.Close();
      return false;
    }
    WriteLog("ERROR, Corrupt Transmission...");
    Link.dsocket.Close();
    return false;
  } catch (const std::exception &) {
    WriteLog("ERROR, PDU_Service::Connect, indeterminate error");
    return false;
  }
}

bool PDU_Service::InterogateAAssociateAC() {
  if (assocAC.PresContextAccepts.empty())
    WriteLog("WARNING, assocAC.PresContextAccepts Count==0");
  int writingContext = -1;
  for (const auto &accept : assocAC.PresContextAccepts) {
    if (accept->Result != 0)
      continue;
    AcceptedPresContexts.push_back(accept.get());
    if (LogEnabled(2))
      WriteLog("Presentation Context Accept ID: " + std::to_string(accept->PresentationContextID) +
               ", Transfer Syntax: " + accept->TrnSyntax.Text);
    if (writingContext < 0 && IsWritable(accept->TrnSyntax.Text))
      writingContext = accept->PresentationContextID;
  }
  if (writingContext < 0) {
    WriteLog("ERROR, Transfer Syntax is Empty");
    return false;
  }
  pdata.PresentationContextID = static_cast<uint8_t>(writingContext);
  return true;
}

bool PDU_Service::ReadAssociateRQ() {
  uint8_t type = 0;
  Link >> type;
  if (Link.ReadFailed())
    return false;
  if (type != 0x01) {
    WriteLog("ERROR, PDU_Service::ReadAssociateRQ, PDU type " + std::to_string(type) +
             " instead of A-ASSOCIATE-RQ");
    Abort(AAbortRQ::kReasonUnexpectedPDU);
    return false;
  }
  assocRQ.ItemType = type;
  assocRQ.ReadDynamic(Link);
  if (assocRQ.Malformed) {
    WriteLog("ERROR, PDU_Service::ReadAssociateRQ, malformed A-ASSOCIATE-RQ");
    Abort(AAbortRQ::kReasonNotSpecified);
    return false;
  }
  return !Link.ReadFailed();
}

bool PDU_Service::Read(DcmObj &obj) {
  if (!Link.dsocket.IsConnected())
    return false;
  pdata.MessageComplete = 0;
  auto readPData = [&] {
    if (pdata.ReadDynamic(Link))
      return true;
    WriteLog("ERROR, PDU_Service::Read, pdata.ReadDynamic(Link)");
    if (pdata.ProtocolError)
      Abort(AAbortRQ::kReasonNotSpecified);
    return false;
  };
  if (pdata.Length != 0 && !readPData())
    return false;
  while (!pdata.MessageComplete) {
    uint8_t type = 0;
    Link >> type;
    if (Link.ReadFailed())
      return false;
    switch (type) {
    case 4:
      if (!readPData())
        return false;
      break;
    case 5:
      releaseRQ.ReadDynamic(Link);
      releaseRP.Write(Link);
      if (LogEnabled(2))
        WriteLog("INFO, PDU_Service::Read Release-RQ");
      return false;
    case 6:
      Link.dsocket.Close();
      WriteLog("WARNING, PDU_Service::Read Release-RSP");
      return false;
    case 7:
      Link.dsocket.Close();
      WriteLog("WARNING, PDU_Service::Read Abort-RQ");
      return false;
    case 1:
    case 2:
    case 3:
      // An association PDU inside an association: not read, aborted at once.
      Abort(AAbortRQ::kReasonUnexpectedPDU);
      WriteLog(type == 1   ? "ERROR, PDU_Service::Read Associate-RQ"
               : type == 2 ? "ERROR, PDU_Service::Read Associate-AC"
                           : "ERROR, PDU_Service::Read Associate-RJ");
      return false;
    default:
      Abort(AAbortRQ::kReasonUnexpectedPDU);
      WriteLog("ERROR, PDU_Service::Read Protocol Error");
      return false;
    }
  }
  if (ParseRawVRIntoDCM(pdata.IncomingValue, obj, pdata.PresentationContextID))
    return true;
  WriteLog("ERROR, PDU_Service::Read ParseRawVRIntoDCM()");
  Abort(AAbortRQ::kReasonNotSpecified);
  return false;
}

bool PDU_Service::GetTransferSyntaxUID(uint8_t presentationContextID, std::string &transferSyntax) {
  for (const PresentationContextAccept *accept : AcceptedPresContexts) {
    if (accept->PresentationContextID == presentationContextID) {
      transferSyntax = accept->TrnSyntax.Text;
      return true;
    }
  }
  return false;
}

bool PDU_Service::ParseRawVRIntoDCM(std::vector<uint8_t> &value, DcmObj &obj,
                                    uint8_t presentationContextID) {
  BufData buf(false);
  buf.Assign(std::move(value));
  bool decoded = false;
  std::string transferSyntax;
  if (!GetTransferSyntaxUID(presentationContextID, transferSyntax)) {
    WriteLog("ERROR, PDU_Service::ParseRawVRIntoDCM GetTransferSyntaxUID()");
  } else {
    obj.TransferSyntax = transferSyntax;
    obj.Explicit = transferSyntax != ts::ImplicitLittleEndian;
    if (LogEnabled(2))
      WriteLog("INFO, PDU_Service::ParseRawVRIntoDCM, Transfer Syntax: " + transferSyntax);
    decoded = buf.ReadObj(obj);
    if (!decoded)
      WriteLog("ERROR, PDU_Service::ParseRawVRIntoDCM buf.ReadOjb()");
  }
  // The storage goes back for the next message part, emptied.
  value = Emptied(buf.TakeBytes());
  if (decoded && LogDataSets)
    LogDataSet(obj, " << ");
  return decoded;
}

bool PDU_Service::ParseDCMIntoRawVR(DcmObj &obj, Buffer &vrBuffer) {
  if (LogDataSets)
    LogDataSet(obj, " >> ");
  BufData buf(false);
  buf.Assign(TakeStream());
  buf.WriteObj(obj);
  vrBuffer.Write(buf.Bytes().data(), static_cast<uint32_t>(buf.Size()));
  KeepStream(buf.TakeBytes());
  return true;
}

std::vector<uint8_t> PDU_Service::TakeStream() { return std::move(codecStream); }

void PDU_Service::KeepStream(std::vector<uint8_t> stream) { codecStream = Emptied(std::move(stream)); }

void PDU_Service::LogDataSet(DcmObj &obj, const char *direction) {
  WriteLog(Trimmed(assocAC.CallingApTitle) + direction + Trimmed(assocAC.CalledApTitle));
  std::vector<std::string> lines;
  obj.Dump(lines);
  for (const std::string &line : lines)
    WriteLog(line);
  WriteLog("");
}

bool PDU_Service::Write(DcmObj &obj, int mode) {
  if (pdata.PresentationContextID == 0) {
    WriteLog("ERROR, PDU_Service::Write, pdata.PresentationContextID is 0");
    return false;
  }
  ParseDCMIntoRawVR(obj, pdata.VRBuffer);
  pdata.MessageControlHeader = static_cast<uint8_t>(mode);
  uint32_t maximum = assocAC.UserInfo.MaxLength.MaximumLength;
  if (maximum > kMaximumPDULength) {
    assocAC.UserInfo.MaxLength.MaximumLength = maximum = kMaximumPDULength;
    if (LogEnabled(2))
      WriteLog("INFO, PDU_Service::Write, MaximumLength set to 16384");
  }
  pdata.FragmentSize = maximum - 6;
  return pdata.Write(Link);
}

bool PDU_Service::Release() {
  pdata.Length = 0;
  if (Link.dsocket.IsConnected()) {
    releaseRQ.Write(Link);
    releaseRP.Read(Link);
    Link.dsocket.Close();
  }
  return true;
}
