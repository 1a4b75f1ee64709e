#pragma once
// One TCP connection (or listening endpoint) over POSIX sockets, with a
// receive time-out in whole seconds.
#include <cstddef>
#include <cstdint>
#include <string>

class Socket {
public:
  Socket();
  ~Socket();
  Socket(const Socket &) = delete;
  Socket &operator=(const Socket &) = delete;

  // Listens on all IPv4 interfaces (backlog 10, zero linger).
  bool Listen(const std::string &port);
  // Waits for one connection on the listening handle; it becomes the connected handle.
  // A transient failure (no handles left, a connection reset before it was
  // taken, nothing pending on a non-blocking handle) keeps the port listening and
  // leaves the error in LastError() for the caller to retry; any other failure
  // closes it.
  bool Accept();
  // Opens an outgoing connection (zero linger, no Nagle delay).
  bool Connect(const std::string &host, const std::string &port);
  // Takes over a handle accepted elsewhere; an open connection is closed first.
  void Attach(int handle);
  // Sends the whole block, looping over partial sends.
  bool SendBinary(const void *bytes, size_t length);
  // Bytes received, 0 (time-out 0 and nothing there) or -1 (closed, timed out, error).
  long ReadBinary(void *destination, size_t capacity);
  bool Close();
  bool SetTimeout(unsigned seconds);
  unsigned Timeout() const { return timeoutSeconds; }

  // The accepted handle without closing it: the listener hands it to a worker.
  int TakeConnected();
  int ConnectedHandle() const { return connectedHandle; }
  bool IsConnected() const { return connected; }
  bool IsListening() const { return listening; }
  int ListeningHandle() const { return listeningHandle; }
  // Peer address of the last Accept, network order, and as dotted text.
  uint32_t PeerAddress() const { return peerAddress; }
  std::string PeerAddressText() const;
  int LastError() const { return lastError; }

private:
  int lastError = 0;
  int connectedHandle = -1; // -1: none (POSIX handles may be 0)
  int listeningHandle = -1;
  bool connected = false;
  bool listening = false;
  unsigned timeoutSeconds = 300;
  uint32_t peerAddress = 0;
};
