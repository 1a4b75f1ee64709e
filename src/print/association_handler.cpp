#include "print/association_handler.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <system_error>
#include <thread>

#include "dicom/dcm_obj.h"
#include "dicom/dimse_command.h"
#include "dicom/make_uid.h"
#include "dicom/transfer_syntax.h"
#include "frame/configuration.h"
#include "frame/event_log.h"
#include "net/dimse_messages.h"
#include "net/pdu_service.h"
#include "print/association_group.h"
#include "print/listener.h"
#include "print/print_requests.h"

namespace {

constexpr uint32_t kMaximumPDULength = 16384;
// C-STORE status "Error: Cannot understand" (PS3.4 B.2.3).
constexpr uint16_t kStatusCannotUnderstand = 0xC000;
constexpr const char* kClearCanvasClassUID = "1.3.6.1.4.1.25403.1.1.1";

// Leading and trailing blanks and control characters removed.
std::string TrimmedTitle(const std::string& title) {
  auto kept = [](unsigned char c) { return c > ' ' && c != 0x7F; };
  size_t first = 0;
  while (first < title.size() && !kept(title[first]))
    ++first;
  size_t last = title.size();
  while (last > first && !kept(title[last - 1]))
    --last;
  return title.substr(first, last - first);
}

bool IsServedAbstractSyntax(const std::string& uid, bool presentationLUT) {
  static const char* const kServed[] = {
      "1.2.840.10008.5.1.1.9",         // Basic Grayscale Print Management Meta
      "1.2.840.10008.5.1.1.18",        // Basic Color Print Management Meta
      "1.2.840.10008.5.1.1.16",        // Printer
      "1.2.840.10008.5.1.4.1.1.88.11", // Basic Text SR Storage
      "1.2.840.10008.5.1.4.1.1.88.22", // Enhanced SR Storage
      "1.2.840.10008.1.1",             // Verification
  };
  if (IsImageStorageSOPClass(uid))
    return true;
  if (presentationLUT && uid == "1.2.840.10008.5.1.1.23")
    return true;
  for (const char* served : kServed)
    if (uid == served)
      return true;
  return false;
}

// Builds and sends the A-ASSOCIATE-AC; true when a presentation context was accepted.
bool Negotiate(PDU_Service& pdu, bool presentationLUT) {
  AAssociateRQ& rq = pdu.assocRQ;
  AAssociateAC& ac = pdu.assocAC;
  ac.CalledApTitle = rq.CalledApTitle;
  ac.CallingApTitle = rq.CallingApTitle;
  ac.AppContext = rq.AppContext;
  ac.UserInfo = rq.UserInfo;
  // Its size is worked out again from the sub-items the writer sends.
  ac.UserInfo.Length = 0;
  if (LogEnabled(1))
    WriteLog("INFO, Number of PresContexts: " + std::to_string(rq.PresContexts.size()));
  for (const auto& proposed : rq.PresContexts) {
    auto accept = std::make_unique<PresentationContextAccept>();
    accept->PresentationContextID = proposed->PresentationContextID;
    accept->Result = 4; // transfer syntaxes not supported, until implicit VR is found
    const std::string& uid = proposed->AbsSyntax.Text;
    if (IsServedAbstractSyntax(uid, presentationLUT)) {
      if (LogEnabled(1))
        WriteLog("Accepted Abstract Syntax: " + uid);
      for (const auto& transferSyntax : proposed->TrnSyntaxes) {
        if (transferSyntax->Text != ts::ImplicitLittleEndian || accept->Result == 0)
          continue;
        accept->Result = 0;
        accept->SetAbstractSyntax(uid);
        accept->SetTransferSyntax(ts::ImplicitLittleEndian);
        pdu.AcceptedPresContexts.push_back(accept.get());
      }
    } else {
      WriteLog("WARNING, Not Accepted Abstract Syntax: " + uid);
    }
    ac.AddPresentationContextAccept(std::move(accept));
  }
  const bool accepted = !pdu.AcceptedPresContexts.empty();
  if (accepted) {
    ac.UserInfo = UserInformation();
    ac.UserInfo.SetMaximumLength(kMaximumPDULength);
    ac.UserInfo.SetImplementationClass(kImplementationClassUID);
    ac.UserInfo.SetImplementationVersion(kImplementationVersionName);
  }
  ac.Write(pdu.Link);
  return accepted;
}

// The association request timer (ARTIM, PS3.8 9.1.5) for the A-ASSOCIATE-RQ of
// an accepted connection: 30 s, or the whole seconds in
// CORVANEL_ASSOCIATION_REQUEST_SECONDS (read once; the tests shorten it).
unsigned AssociationRequestSeconds() {
  static const unsigned seconds = [] {
    const char* text = std::getenv("CORVANEL_ASSOCIATION_REQUEST_SECONDS");
    const long value = text ? std::strtol(text, nullptr, 10) : 0;
    return value >= 1 && value <= 3600 ? static_cast<unsigned>(value) : 30u;
  }();
  return seconds;
}

// True when the first bytes of a request arrive on socket within seconds.
bool RequestArrives(int socket, unsigned seconds) {
  pollfd wait{socket, POLLIN, 0};
  int ready;
  do {
    ready = poll(&wait, 1, static_cast<int>(seconds) * 1000);
  } while (ready < 0 && errno == EINTR);
  return ready != 0;
}

// Holds one unit of a shared count and gives it back once: on Drop or at the end.
class CountHold {
public:
  explicit CountHold(std::atomic<int>& count) : count_(count) {}
  ~CountHold() { Drop(); }
  CountHold(const CountHold&) = delete;
  CountHold& operator=(const CountHold&) = delete;
  void Drop() {
    if (counted_)
      --count_;
    counted_ = false;
  }

private:
  std::atomic<int>& count_;
  bool counted_ = true;
};

// One association from its negotiation on.
class AssociationHandler {
public:
  AssociationHandler(int socket, AssociationGroup& group) : socket_(socket), group_(group) {}
  void Run();

private:
  // False when the association is to end at once, without the delayed close.
  bool MessageLoop();
  void Dispatch(uint16_t commandField);
  void ServeStore();
  void ServeEcho();
  void ServeGet();
  // The N-services that the print request handling serves; false: end at once.
  bool ServePrintRequest(uint16_t commandField);
  std::string Handle() const { return std::to_string(socket_); }

  // True when the A-ASSOCIATE-RQ was read, or failed to be, before its timer expired.
  bool ReadAssociateRQ();

  const int socket_;
  AssociationGroup& group_;
  // The place among the connections waiting for their A-ASSOCIATE-RQ, taken
  // by the listener at accept, until the request is read or given up.
  CountHold awaiting_{AwaitingRequests};
  PDU_Service pdu_;
  std::unique_ptr<PrintState> printState_ = CreatePrintState();
  std::string callingAETitle_;
  std::string calledAETitle_;
  DcmObj command_;
  DcmObj dataSet_;
  bool goOn_ = true;
};

void AssociationHandler::Run() {
  if (LogEnabled(2))
    pdu_.LogDataSets = true;
  pdu_.Link.dsocket.Attach(socket_);
  if (!ReadAssociateRQ())
    return;
  awaiting_.Drop();
  // Active from the A-ASSOCIATE-RQ until the association ends.
  ++ActiveAssociations;
  CountHold active(ActiveAssociations);
  const auto config = CurrentConfiguration();
  if (!pdu_.Link.dsocket.IsConnected() || !Negotiate(pdu_, config->PresentationLUT)) {
    pdu_.Link.dsocket.Close();
    WriteLog("ERROR: Association Failed! " + Handle());
    return;
  }
  callingAETitle_ = TrimmedTitle(pdu_.assocRQ.CallingApTitle);
  calledAETitle_ = TrimmedTitle(pdu_.assocRQ.CalledApTitle);
  if (pdu_.assocRQ.UserInfo.ImpClass.Text == kClearCanvasClassUID)
    WriteLog("INFO, Print SCU is ClearCanvas");
  if (LogEnabled(1))
    WriteLog("INFO, Associated with " + callingAETitle_ + ", Socket: " + Handle());
  if (!MessageLoop())
    return; // the print request handling has released the association
  command_.Clear();
  dataSet_.Clear();
  ReleaseFilmBoxes(*printState_);
  active.Drop();
  FinishStoredSession(*printState_, calledAETitle_);
  const int open = pdu_.Link.dsocket.IsConnected() ? pdu_.Link.dsocket.TakeConnected() : -1;
  group_.Closer.Schedule(open, socket_);
}

bool AssociationHandler::ReadAssociateRQ() {
  // On expiry of the timer before any request PS3.8 closes the transport
  // connection without an A-ABORT.
  const unsigned timer = AssociationRequestSeconds();
  if (!RequestArrives(socket_, timer)) {
    WriteLog("ERROR, No A-ASSOCIATE-RQ within " + std::to_string(timer) +
             " s, closing the connection, Socket: " + Handle());
    pdu_.Link.dsocket.Close();
    return false;
  }
  // The rest of the request is bounded by the timer too, read by read.
  const unsigned socketTimeout = pdu_.Link.dsocket.Timeout();
  pdu_.Link.dsocket.SetTimeout(timer);
  // A request that could not be read has been aborted; it leaves nothing to accept.
  pdu_.ReadAssociateRQ();
  pdu_.Link.dsocket.SetTimeout(socketTimeout);
  return true;
}

bool AssociationHandler::MessageLoop() {
  while (goOn_ && pdu_.Read(command_)) {
    const uint16_t commandField = command_.GetUShort(0x0000, 0x0100);
    switch (commandField) {
    case dimse::N_SET_RQ:
    case dimse::N_ACTION_RQ:
    case dimse::N_CREATE_RQ:
    case dimse::N_DELETE_RQ:
      if (!ServePrintRequest(commandField))
        return false;
      break;
    default:
      Dispatch(commandField);
    }
    command_.Clear();
  }
  return true;
}

void AssociationHandler::Dispatch(uint16_t commandField) {
  switch (commandField) {
  case dimse::C_STORE_RQ:
    ServeStore();
    break;
  case dimse::C_ECHO_RQ:
    ServeEcho();
    break;
  case dimse::N_GET_RQ:
    ServeGet();
    break;
  default:
    WriteLog("WARNING, Service Not Implemented");
    goOn_ = false;
  }
}

void AssociationHandler::ServeStore() {
  if (LogEnabled(1))
    WriteLog("C-STORE");
  DcmObj stored;
  // A request that announces no data set is answered "cannot understand",
  // so that its SCU does not wait for a response that never comes.
  const bool read = CStore::ReadRQ(&pdu_, command_, &stored);
  if (!read && !pdu_.Link.dsocket.IsConnected())
    return;
  stored.Clear(); // acknowledged, not kept
  if (!CStore::WriteRSP(pdu_, &command_, read ? 0 : kStatusCannotUnderstand)) {
    WriteLog("ERROR: Store RSP: Failed! " + Handle());
    goOn_ = false;
  }
}

void AssociationHandler::ServeEcho() {
  if (LogEnabled(1))
    WriteLog("C-ECHO");
  if (CEcho::WriteRSP(pdu_, command_)) {
    if (LogEnabled(1))
      WriteLog("INFO, Echo RSP: Ok!, Socket: " + Handle());
  } else {
    WriteLog("ERROR: Echo RSP: Failed!, Socket: " + Handle());
    goOn_ = false;
  }
}

void AssociationHandler::ServeGet() {
  if (LogEnabled(1))
    WriteLog("N-GET");
  const std::string classUID = command_.GetString(0x0000, 0x0003);
  const std::string instanceUID = command_.GetString(0x0000, 0x1001);
  NGet::ReadRQ(command_);
  // The printer's state is fixed, whatever attributes were asked for.
  dataSet_.Clear();
  dataSet_.AddString(0x2110, 0x0010, "NORMAL");
  dataSet_.AddString(0x2110, 0x0020, "NORMAL");
  dataSet_.AddString(0x2110, 0x0030, "Veltrano Corvanel");
  NGet response;
  if (response.WriteRSP(pdu_, command_, &dataSet_, instanceUID, classUID, 0)) {
    if (LogEnabled(1))
      WriteLog("INFO, Successful N-GET");
  } else {
    WriteLog("ERROR, Failed N-GET");
    goOn_ = false;
  }
  dataSet_.Clear();
}

bool AssociationHandler::ServePrintRequest(uint16_t commandField) {
  const bool create = commandField == dimse::N_CREATE_RQ;
  PrintRequest request{pdu_,
                       command_,
                       command_.GetString(0x0000, create ? 0x0002 : 0x0003),
                       command_.GetString(0x0000, create ? 0x1000 : 0x1001),
                       dataSet_,
                       callingAETitle_,
                       calledAETitle_,
                       socket_};
  PrintAnswer answer;
  bool written = false;
  switch (commandField) {
  case dimse::N_SET_RQ:
    answer = HandleNSet(*printState_, request);
    if (!answer.endAssociation)
      written = NSet().WriteRSP(pdu_, command_, nullptr, request.sopInstanceUID,
                                request.sopClassUID, answer.status);
    break;
  case dimse::N_ACTION_RQ:
    answer = HandleNAction(*printState_, request);
    if (!answer.endAssociation)
      written = NAction().WriteRSP(pdu_, command_, nullptr, request.sopInstanceUID,
                                   request.sopClassUID, 1, answer.status);
    break;
  case dimse::N_CREATE_RQ:
    answer = HandleNCreate(*printState_, request);
    if (!answer.endAssociation)
      written = NCreate().WriteRSP(pdu_, command_, dataSet_.Count() > 0 ? &dataSet_ : nullptr,
                                   request.sopInstanceUID, request.sopClassUID, answer.status);
    break;
  default:
    answer = HandleNDelete(*printState_, request);
    if (!answer.endAssociation)
      written = NDelete().WriteRSP(pdu_, command_, request.sopInstanceUID, request.sopClassUID,
                                   answer.status);
  }
  if (answer.endAssociation)
    return false;
  if (written) {
    if (LogEnabled(1))
      WriteLog("INFO, Succesful RSP Write");
  } else {
    WriteLog(commandField == dimse::N_ACTION_RQ ? "Failed RSP Write" : "ERROR, Failed RSP Write");
    goOn_ = false;
  }
  dataSet_.Clear();
  return true;
}

} // namespace

ChildThread::ChildThread(int socket, std::string peerAddress,
                         std::shared_ptr<AssociationGroup> group)
    : socket(socket), peerAddress(std::move(peerAddress)), group_(std::move(group)) {}

bool ChildThread::Start(std::unique_ptr<ChildThread> child) {
  const int socket = child->socket;
  try {
    std::thread([child = std::move(child)] { child->Execute(); }).detach();
    return true;
  } catch (const std::system_error& error) {
    WriteLog(std::string("ERROR, ChildThread, no thread: ") + error.what() + ", Socket: " +
             std::to_string(socket));
    --AwaitingRequests;
    close(socket);
    return false;
  }
}

void ChildThread::Execute() {
  int token = -1;
  if (!group_->Join(socket, token)) {
    --AwaitingRequests;
    close(socket); // the server is stopping
    return;
  }
  try {
    AssociationHandler(socket, *group_).Run();
  } catch (const std::exception& error) {
    WriteLog(std::string("ERROR, ChildThread, ") + error.what() + ", Socket: " +
             std::to_string(socket));
  } catch (...) {
    WriteLog("ERROR, ChildThread, indeterminate error, Socket: " + std::to_string(socket));
  }
  group_->Leave(token);
}
