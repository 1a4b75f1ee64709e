// Connections that never send their A-ASSOCIATE-RQ: the association request
// timer closes them, the number waiting for their request is bounded, and the
// server goes on answering well-behaved peers meanwhile.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>

#include "listener_server.h"
#include "print/listener.h"

using namespace std::chrono_literals;

namespace {
constexpr int kTimerSeconds = 2;

// A loopback connection that sends nothing; connected without blocking, so that
// connections beyond the backlog do not hold up the test.
class SilentPeer {
public:
  explicit SilentPeer(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    [[maybe_unused]] int started =
        ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  ~SilentPeer() { ::close(fd_); }
  SilentPeer(const SilentPeer&) = delete;
  SilentPeer& operator=(const SilentPeer&) = delete;

  // True once the server has closed the connection (end of stream or reset).
  bool ClosedByServer() const {
    pollfd wait{fd_, POLLIN, 0};
    if (::poll(&wait, 1, 0) <= 0)
      return false;
    char byte;
    return ::recv(fd_, &byte, 1, MSG_DONTWAIT) <= 0;
  }

private:
  int fd_;
};

// Starts the server with the timer shortened through its environment.
std::unique_ptr<ServerUnderTest> ServerWithShortTimer() {
  ::setenv("CORVANEL_ASSOCIATION_REQUEST_SECONDS", std::to_string(kTimerSeconds).c_str(), 1);
  auto server = std::make_unique<ServerUnderTest>(ServerSettings{.logLevel = 1});
  ::unsetenv("CORVANEL_ASSOCIATION_REQUEST_SECONDS");
  return server;
}
} // namespace

TEST(AssociationRequestTimer, SilentPeersAreBoundedAndClosedWhileEchoIsServed) {
  auto server = ServerWithShortTimer();
  ASSERT_TRUE(server->WaitListening()) << server->Log();
  const int baseThreads = server->Threads();
  // As many as wait in the server and in its backlog of 10.
  constexpr int kSilent = kMaxAwaitingRequests + 8;
  std::vector<std::unique_ptr<SilentPeer>> silent;
  for (int i = 0; i < kSilent; ++i)
    silent.push_back(std::make_unique<SilentPeer>(server->port));
  ASSERT_TRUE(server->WaitForLog("WARNING, ServerThread, " +
                                 std::to_string(kMaxAwaitingRequests) +
                                 " connections wait for their A-ASSOCIATE-RQ"))
      << server->Log();
  // A well-behaved peer among them is answered once silent ones have timed out.
  int maxThreads = server->Threads();
  std::string output;
  std::thread echo([&] { RunDcmtk("echoscu", {}, server->port, &output); });
  for (int i = 0; i < 20 && !server->WaitForLog("INFO, Echo RSP: Ok!", 200ms); ++i)
    maxThreads = std::max(maxThreads, server->Threads());
  echo.join();
  EXPECT_TRUE(server->WaitForLog("INFO, Echo RSP: Ok!")) << output << server->Log();
  EXPECT_LE(maxThreads, baseThreads + kMaxAwaitingRequests + 2);
  // The silent connections are closed by the server, without an A-ABORT. The
  // kernel may drop a few of those beyond the backlog before they are
  // accepted; every one that was accepted is closed.
  const std::string expired = "ERROR, No A-ASSOCIATE-RQ within " + std::to_string(kTimerSeconds) +
                              " s, closing the connection, Socket: ";
  auto closed = [&] {
    return std::count_if(silent.begin(), silent.end(),
                         [](const auto& peer) { return peer->ClosedByServer(); });
  };
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (closed() < kSilent && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(200ms);
  EXPECT_GE(closed(), kMaxAwaitingRequests) << server->Log();
  EXPECT_GE(server->CountInLog(expired), closed());
  EXPECT_EQ(server->CountInLog("INFO, Associated with "), 1);
  // With the flood gone the server serves at once.
  EXPECT_EQ(RunDcmtk("echoscu", {}, server->port, &output), 0) << output;
  EXPECT_LE(server->Threads(), baseThreads + 2);
}
