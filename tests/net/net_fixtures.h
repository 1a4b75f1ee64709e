#pragma once
// Shared pieces of the upper layer tests: a thread-safe log capture, raw PDU
// bytes, connected socket pairs and a small SCP built from PDU_Service.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame/event_log.h"

class DcmObj;
class PDU_Service;

namespace net_test {

// Collects log lines of every thread while it lives.
class LogCapture {
public:
  LogCapture();
  ~LogCapture();
  bool Contains(const std::string &text) const;
  std::vector<std::string> Lines() const;

private:
  mutable std::mutex mutex;
  std::vector<std::string> lines;
};

// Big-endian byte builder for raw PDUs.
struct Bytes {
  std::vector<uint8_t> data;
  Bytes &u8(uint8_t v);
  Bytes &u16(uint16_t v);
  Bytes &u32(uint32_t v);
  Bytes &text(const std::string &s);
  Bytes &raw(const std::vector<uint8_t> &more);
  Bytes &zeros(size_t n);
};

// A UID sub-item (type, length, text).
std::vector<uint8_t> UIDItemBytes(uint8_t type, const std::string &text);
// A whole A-ASSOCIATE-RQ PDU around the given items.
std::vector<uint8_t> AssociateRQBytes(const std::vector<uint8_t> &items);
// One presentation context item (abstract syntax, transfer syntaxes).
std::vector<uint8_t> PresentationContextBytes(uint8_t id, const std::string &abstractSyntax,
                                              const std::vector<std::string> &transferSyntaxes);
// A user information item with a maximum length of 16384 and the given extra sub-items.
std::vector<uint8_t> UserInfoBytes(const std::vector<uint8_t> &extra = {});

// Two connected stream sockets; closed when destroyed unless taken.
struct SocketPair {
  SocketPair();
  ~SocketPair();
  int take(int which);
  int fd[2];
};

// Sends bytes on a raw handle (all of them).
void SendAll(int fd, const std::vector<uint8_t> &bytes);
// Receives up to n bytes, waiting at most timeoutMs for each chunk; fewer when
// the peer closes.
std::vector<uint8_t> ReceiveUpTo(int fd, size_t n, int timeoutMs = 2000);

struct RawPDU {
  uint8_t type = 0;
  std::vector<uint8_t> body; // after the 6-byte header
};
// Reads one whole PDU from a raw handle; type 0 when none came.
RawPDU ReceivePDU(int fd, int timeoutMs = 2000);

// Marks a PDU_Service pair as associated on context 1 with implicit VR little
// endian and the given acceptor maximum length, without negotiation.
void Associate(PDU_Service &service, int handle, uint32_t maximumLength = 16384);

// A small SCP on 127.0.0.1: accepts one association per connection, answers
// C-ECHO and C-STORE, and stores what it received.
class TestSCP {
public:
  // acceptTransferSyntaxes: the transfer syntaxes it accepts, in its order of choice.
  explicit TestSCP(std::vector<std::string> acceptTransferSyntaxes = {"1.2.840.10008.1.2"},
                   uint32_t maximumLength = 16384);
  ~TestSCP();
  int port() const { return port_; }
  // Commands and data sets of C-STOREs received (data set sizes in bytes).
  std::vector<uint16_t> commandFields() const;
  std::vector<std::string> proposedTransferSyntaxes() const;
  size_t storedBytes() const { return storedBytes_; }

private:
  void Run();
  std::vector<std::string> accept_;
  uint32_t maximumLength_;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<uint16_t> commands_;
  std::vector<std::string> proposed_;
  std::atomic<size_t> storedBytes_{0};
  int listenFd_ = -1;
  std::thread thread_;
};

} // namespace net_test
