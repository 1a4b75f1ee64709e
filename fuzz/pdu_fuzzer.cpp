// Feeds bytes to the acceptor side of an association over a socket pair: the
// first byte chooses the A-ASSOCIATE-RQ reader (even) or PDU_Service::Read in
// an established association (odd); the rest is what the peer sends.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "dicom/dcm_obj.h"
#include "net/pdu_service.h"

namespace {

// Stays below the socket pair's buffer so that the whole input can be queued
// before the reader starts.
constexpr size_t kMaxInput = 65536;

void Establish(PDU_Service &service) {
  auto accept = std::make_unique<PresentationContextAccept>();
  accept->PresentationContextID = 1;
  accept->Result = 0;
  accept->SetTransferSyntax("1.2.840.10008.1.2");
  service.AcceptedPresContexts.push_back(accept.get());
  service.assocAC.AddPresentationContextAccept(std::move(accept));
  service.assocAC.UserInfo.SetMaximumLength(16384);
  service.pdata.PresentationContextID = 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1 || size > kMaxInput)
    return 0;
  int fd[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fd) != 0)
    return 0;
  int buffer = 1 << 18;
  setsockopt(fd[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  size_t sent = 0;
  while (sent < size - 1) {
    ssize_t n = send(fd[1], data + 1 + sent, size - 1 - sent, MSG_NOSIGNAL);
    if (n <= 0)
      break;
    sent += static_cast<size_t>(n);
  }
  shutdown(fd[1], SHUT_WR);
  {
    PDU_Service acceptor;
    acceptor.Link.dsocket.Attach(fd[0]);
    acceptor.Link.dsocket.SetTimeout(1);
    if ((data[0] & 1) == 0) {
      acceptor.ReadAssociateRQ();
    } else {
      Establish(acceptor);
      for (int messages = 0; messages < 64; ++messages) {
        DcmObj obj;
        if (!acceptor.Read(obj))
          break;
      }
    }
  }
  close(fd[1]);
  return 0;
}
