#include "net/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "frame/event_log.h"

namespace {

// Decimal number first; a text whose low 16 bits are 0 ("0", "http") is looked
// up as a service name.
bool ResolvePort(const std::string &port, uint16_t &result) {
  unsigned long number = std::strtoul(port.c_str(), nullptr, 10);
  if ((number & 0xFFFF) != 0) {
    result = static_cast<uint16_t>(number);
    return true;
  }
  servent entry{};
  servent *found = nullptr;
  char scratch[1024];
  if (getservbyname_r(port.c_str(), nullptr, &entry, scratch, sizeof scratch, &found) != 0 ||
      found == nullptr)
    return false;
  result = ntohs(static_cast<uint16_t>(found->s_port));
  return true;
}

// A dotted number is used as it stands; a name goes through the host lookup and
// falls back to being parsed as dotted text (so an unknown name fails to connect).
bool ResolveHost(const std::string &host, in_addr &address) {
  if (std::strtoul(host.c_str(), nullptr, 10) == 0) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) == 0 && list != nullptr) {
      address = reinterpret_cast<sockaddr_in *>(list->ai_addr)->sin_addr;
      freeaddrinfo(list);
      return true;
    }
  }
  address.s_addr = inet_addr(host.c_str());
  return true;
}

void SetZeroLinger(int handle) {
  linger option{1, 0};
  setsockopt(handle, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

bool SetNoDelay(int handle) {
  int on = 1;
  return setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

// Failures of accept that say nothing about the listening socket itself.
bool IsTransientAcceptError(int error) {
  switch (error) {
  case EMFILE:
  case ENFILE:
  case ENOBUFS:
  case ENOMEM:
  case ECONNABORTED:
  case EPROTO:
  case EPERM:
  case EAGAIN:
  case ENETDOWN:
  case ENONET:
  case EHOSTDOWN:
  case EHOSTUNREACH:
  case ENETUNREACH:
  case ENOPROTOOPT:
  case EOPNOTSUPP:
    return true;
  default:
    return false;
  }
}

// An IPv4 TCP socket that resets its connection on close; -1 after logging.
int NewStreamSocket() {
  int handle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (handle < 0) {
    WriteLog("ERROR, could not create socket");
    return -1;
  }
  SetZeroLinger(handle);
  return handle;
}

void CloseHandle(int &handle) {
  if (handle >= 0)
    close(handle);
  handle = -1;
}

} // namespace

Socket::Socket() = default;

Socket::~Socket() {
  for (int *handle : {&connectedHandle, &listeningHandle}) {
    if (*handle >= 0)
      shutdown(*handle, SHUT_RDWR);
    CloseHandle(*handle);
  }
}

bool Socket::Listen(const std::string &port) {
  connected = listening = false;
  CloseHandle(connectedHandle);
  uint16_t portNumber = 0;
  if (!ResolvePort(port, portNumber)) {
    WriteLog("ERROR, could not resolve port");
    return false;
  }
  int handle = NewStreamSocket();
  if (handle < 0)
    return false;
  // A restarted server must not wait for the old port's TIME_WAIT to pass.
  int on = 1;
  setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(portNumber);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(handle, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    lastError = errno;
    close(handle);
    WriteLog("ERROR, could not bind socket");
    return false;
  }
  // While the server is at its association limit, new connections wait in
  // the accept queue. A short queue overflows under load: the kernel then
  // drops the handshake and the peer retries with doubling delays, so an SCU
  // may wait many seconds for its A-ASSOCIATE-AC after a slot came free.
  if (listen(handle, SOMAXCONN) != 0) {
    close(handle);
    WriteLog("ERROR, listening to socket");
    return false;
  }
  listeningHandle = handle;
  connectedHandle = -1;
  listening = true;
  connected = false;
  return true;
}

bool Socket::Accept() {
  if (!listening) {
    WriteLog("ERROR Socket:Accept not Listened");
    return false;
  }
  if (listeningHandle < 0) {
    WriteLog("ERROR Socket:Accept not ListenedSocketfd");
    return false;
  }
  sockaddr_in address{};
  socklen_t size = sizeof address;
  int handle;
  do {
    handle = accept(listeningHandle, reinterpret_cast<sockaddr *>(&address), &size);
  } while (handle < 0 && errno == EINTR);
  if (handle >= 0) {
    // Association PDUs leave in several small sends; without this each waits
    // for the peer's delayed acknowledgement.
    SetNoDelay(handle);
    connectedHandle = handle;
    peerAddress = address.sin_addr.s_addr;
    WriteLog("INFO, Socket::Accept, remote IP: " + PeerAddressText());
    connected = true;
    return true;
  }
  lastError = errno;
  if (IsTransientAcceptError(lastError))
    return false;
  Close();
  WriteLog("ERROR Socket:Accept not Socketfd");
  return false;
}

bool Socket::Connect(const std::string &host, const std::string &port) {
  CloseHandle(connectedHandle);
  connected = false;
  in_addr hostAddress{};
  ResolveHost(host, hostAddress);
  uint16_t portNumber = 0;
  if (!ResolvePort(port, portNumber)) {
    WriteLog("ERROR, could not resolve host port");
    return false;
  }
  int handle = NewStreamSocket();
  if (handle < 0)
    return false;
  if (!SetNoDelay(handle)) {
    close(handle);
    WriteLog("ERROR, set socket option");
    return false;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(portNumber);
  address.sin_addr = hostAddress;
  if (connect(handle, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
    connectedHandle = handle;
    connected = true;
    return true;
  }
  lastError = errno;
  close(handle);
  connectedHandle = -1;
  WriteLog("ERROR, Connecting to Socket: " + host + ":" + port + ", " + std::to_string(lastError));
  return false;
}

void Socket::Attach(int handle) {
  if (connected)
    Close();
  connected = true;
  connectedHandle = handle;
}

bool Socket::SendBinary(const void *bytes, size_t length) {
  if (!connected)
    return false;
  const char *next = static_cast<const char *>(bytes);
  while (length > 0) {
    ssize_t sent = send(connectedHandle, next, length, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR)
      continue;
    if (sent < 0) {
      WriteLog("ERROR, Socket::SendBinary, couldn't send: " + std::to_string(errno));
      return false;
    }
    next += sent;
    length -= static_cast<size_t>(sent);
  }
  return true;
}

long Socket::ReadBinary(void *destination, size_t capacity) {
  if (!connected)
    return -1;
  pollfd wait{connectedHandle, POLLIN, 0};
  int ready;
  do {
    ready = poll(&wait, 1, static_cast<int>(std::min(timeoutSeconds, 2000000u)) * 1000);
  } while (ready < 0 && errno == EINTR);
  if (ready > 0) {
    ssize_t received;
    do {
      received = recv(connectedHandle, destination, capacity, 0);
    } while (received < 0 && errno == EINTR);
    if (received == 0) {
      Close();
      return -1;
    }
    return received < 0 ? -1 : static_cast<long>(received);
  }
  Close();
  if (timeoutSeconds == 0)
    return 0;
  WriteLog("ERROR, Socket::ReadBinary, Timed out");
  return -1;
}

bool Socket::Close() {
  CloseHandle(listeningHandle);
  CloseHandle(connectedHandle);
  connected = listening = false;
  return true;
}

bool Socket::SetTimeout(unsigned seconds) {
  timeoutSeconds = seconds;
  return true;
}

int Socket::TakeConnected() {
  int handle = connectedHandle;
  connectedHandle = -1;
  connected = false;
  return handle;
}

std::string Socket::PeerAddressText() const {
  char text[INET_ADDRSTRLEN] = {};
  in_addr address{peerAddress};
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}
