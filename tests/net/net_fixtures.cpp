#include "net_fixtures.h"

#include <poll.h>

#include <stdexcept>

#include "dicom/dcm_obj.h"
#include "dicom/dimse_command.h"
#include "dicom/make_uid.h"
#include "net/dimse_messages.h"
#include "net/pdu_service.h"
#include "support/test_support.h"

namespace net_test {

LogCapture::LogCapture() {
  SetLogTarget("", "net tests", "");
  SetLogEchoSink([this](const std::string &line) {
    std::lock_guard lock(mutex);
    lines.push_back(line);
  });
}

LogCapture::~LogCapture() {
  SetLogEchoSink({});
  CloseLog();
}

bool LogCapture::Contains(const std::string &text) const {
  std::lock_guard lock(mutex);
  for (const auto &line : lines)
    if (line.find(text) != std::string::npos)
      return true;
  return false;
}

std::vector<std::string> LogCapture::Lines() const {
  std::lock_guard lock(mutex);
  return lines;
}

Bytes &Bytes::u8(uint8_t v) {
  data.push_back(v);
  return *this;
}
Bytes &Bytes::u16(uint16_t v) {
  return u8(static_cast<uint8_t>(v >> 8)).u8(static_cast<uint8_t>(v));
}
Bytes &Bytes::u32(uint32_t v) {
  return u16(static_cast<uint16_t>(v >> 16)).u16(static_cast<uint16_t>(v));
}
Bytes &Bytes::text(const std::string &s) {
  data.insert(data.end(), s.begin(), s.end());
  return *this;
}
Bytes &Bytes::raw(const std::vector<uint8_t> &more) {
  data.insert(data.end(), more.begin(), more.end());
  return *this;
}
Bytes &Bytes::zeros(size_t n) {
  data.insert(data.end(), n, 0);
  return *this;
}

std::vector<uint8_t> UIDItemBytes(uint8_t type, const std::string &text) {
  return Bytes().u8(type).u8(0).u16(static_cast<uint16_t>(text.size())).text(text).data;
}

std::vector<uint8_t> AssociateRQBytes(const std::vector<uint8_t> &items) {
  Bytes pdu;
  pdu.u8(1).u8(0).u32(static_cast<uint32_t>(68 + items.size())).u16(1).u16(0);
  pdu.text("STORESCP        ").text("CORVANEL        ").zeros(32).raw(items);
  return pdu.data;
}

std::vector<uint8_t> PresentationContextBytes(uint8_t id, const std::string &abstractSyntax,
                                              const std::vector<std::string> &transferSyntaxes) {
  Bytes body;
  body.u8(id).u8(0).u8(0).u8(0).raw(UIDItemBytes(0x30, abstractSyntax));
  for (const auto &syntax : transferSyntaxes)
    body.raw(UIDItemBytes(0x40, syntax));
  return Bytes().u8(0x20).u8(0).u16(static_cast<uint16_t>(body.data.size())).raw(body.data).data;
}

std::vector<uint8_t> UserInfoBytes(const std::vector<uint8_t> &extra) {
  Bytes body;
  body.u8(0x51).u8(0).u16(4).u32(16384).raw(extra);
  return Bytes().u8(0x50).u8(0).u16(static_cast<uint16_t>(body.data.size())).raw(body.data).data;
}

SocketPair::SocketPair() {
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fd) != 0)
    throw std::runtime_error("socketpair");
}

SocketPair::~SocketPair() {
  for (int handle : fd)
    if (handle >= 0)
      close(handle);
}

int SocketPair::take(int which) {
  int handle = fd[which];
  fd[which] = -1;
  return handle;
}

void SendAll(int fd, const std::vector<uint8_t> &bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0)
      return;
    sent += static_cast<size_t>(n);
  }
}

std::vector<uint8_t> ReceiveUpTo(int fd, size_t n, int timeoutMs) {
  std::vector<uint8_t> bytes;
  while (bytes.size() < n) {
    pollfd wait{fd, POLLIN, 0};
    if (poll(&wait, 1, timeoutMs) <= 0)
      break;
    uint8_t chunk[65536];
    ssize_t got = recv(fd, chunk, std::min(sizeof chunk, n - bytes.size()), 0);
    if (got <= 0)
      break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

RawPDU ReceivePDU(int fd, int timeoutMs) {
  RawPDU pdu;
  std::vector<uint8_t> header = ReceiveUpTo(fd, 6, timeoutMs);
  if (header.size() < 6)
    return pdu;
  uint32_t length =
      uint32_t{header[2]} << 24 | uint32_t{header[3]} << 16 | uint32_t{header[4]} << 8 | header[5];
  pdu.body = ReceiveUpTo(fd, length, timeoutMs);
  pdu.type = header[0];
  return pdu;
}

void Associate(PDU_Service &service, int handle, uint32_t maximumLength) {
  service.Link.dsocket.Attach(handle);
  service.Link.dsocket.SetTimeout(10);
  auto accept = std::make_unique<PresentationContextAccept>();
  accept->PresentationContextID = 1;
  accept->Result = 0;
  accept->SetTransferSyntax("1.2.840.10008.1.2");
  service.AcceptedPresContexts.push_back(accept.get());
  service.assocAC.AddPresentationContextAccept(std::move(accept));
  service.assocAC.UserInfo.SetMaximumLength(maximumLength);
  service.pdata.PresentationContextID = 1;
}

TestSCP::TestSCP(std::vector<std::string> acceptTransferSyntaxes, uint32_t maximumLength)
    : accept_(std::move(acceptTransferSyntaxes)), maximumLength_(maximumLength) {
  port_ = testing_support::FreePort();
  thread_ = std::thread([this] { Run(); });
  testing_support::WaitForPort(port_);
}

TestSCP::~TestSCP() {
  stop_ = true;
  testing_support::PortOpen(port_); // wakes the accept
  thread_.join();
}

std::vector<uint16_t> TestSCP::commandFields() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

std::vector<std::string> TestSCP::proposedTransferSyntaxes() const {
  std::lock_guard lock(mutex_);
  return proposed_;
}

void TestSCP::Run() {
  Socket listener;
  if (!listener.Listen(std::to_string(port_)))
    return;
  while (!stop_ && listener.Accept()) {
    PDU_Service scp;
    scp.Link.dsocket.Attach(listener.TakeConnected());
    scp.Link.dsocket.SetTimeout(10);
    if (stop_ || !scp.ReadAssociateRQ())
      continue;
    scp.assocAC.SetCalledApTitle(scp.assocRQ.CalledApTitle);
    scp.assocAC.SetCallingApTitle(scp.assocRQ.CallingApTitle);
    for (const auto &context : scp.assocRQ.PresContexts) {
      auto accept = std::make_unique<PresentationContextAccept>();
      accept->PresentationContextID = context->PresentationContextID;
      accept->Result = 4;
      accept->SetTransferSyntax("");
      for (const auto &syntax : context->TrnSyntaxes) {
        std::lock_guard lock(mutex_);
        proposed_.push_back(syntax->Text);
      }
      for (const auto &wanted : accept_) {
        for (const auto &syntax : context->TrnSyntaxes)
          if (accept->Result != 0 && syntax->Text == wanted) {
            accept->Result = 0;
            accept->SetTransferSyntax(wanted);
          }
      }
      if (accept->Result == 0)
        scp.AcceptedPresContexts.push_back(accept.get());
      scp.assocAC.AddPresentationContextAccept(std::move(accept));
    }
    scp.assocAC.UserInfo.SetMaximumLength(maximumLength_);
    scp.assocAC.UserInfo.SetImplementationClass(kImplementationClassUID);
    scp.assocAC.UserInfo.SetImplementationVersion(kImplementationVersionName);
    scp.assocAC.Write(scp.Link);
    while (true) {
      DcmObj command;
      if (!scp.Read(command))
        break;
      uint16_t field = command.GetUShort(0x0000, 0x0100);
      {
        std::lock_guard lock(mutex_);
        commands_.push_back(field);
      }
      if (field == dimse::C_ECHO_RQ) {
        CEcho::WriteRSP(scp, command);
      } else if (field == dimse::C_STORE_RQ) {
        DcmObj dataSet;
        if (!CStore::ReadRQ(&scp, command, &dataSet))
          break;
        if (DcmTag *pixels = dataSet.Find(0x7FE0, 0x0010))
          storedBytes_ += pixels->Length;
        CStore::WriteRSP(scp, &command, 0);
      }
    }
  }
}

} // namespace net_test
