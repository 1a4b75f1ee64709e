#include "print/listener.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "frame/event_log.h"
#include "print/association_group.h"
#include "print/association_handler.h"

std::atomic<int> ActiveAssociations{0};
std::atomic<int> AwaitingRequests{0};

namespace {
// Pause after a failed accept (no handles left, a connection reset before it
// was taken): the listener goes on instead of giving up the port.
constexpr int kAcceptRetryMilliseconds = 100;
constexpr int kThrottleMilliseconds = 1000;
// How long a stopping server waits for the workers of the connections it shut down.
constexpr std::chrono::seconds kWorkerStopTimeout{10};

std::mutex processListenerMutex;
std::unique_ptr<ServerThread> processListener;
} // namespace

ServerThread::ServerThread(std::string port)
    : port(std::move(port)), group_(std::make_shared<AssociationGroup>()),
      wakeHandle_(eventfd(0, EFD_CLOEXEC)) {}

ServerThread::~ServerThread() {
  Stop();
  if (wakeHandle_ >= 0)
    close(wakeHandle_);
}

void ServerThread::Start() {
  if (!thread_.joinable())
    thread_ = std::thread([this] { Run(); });
}

void ServerThread::Stop() {
  if (wakeHandle_ >= 0) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(wakeHandle_, &one, sizeof one);
  }
  if (thread_.joinable())
    thread_.join();
  group_->Stop(kWorkerStopTimeout);
}

bool ServerThread::Pause(int milliseconds) {
  pollfd wake{wakeHandle_, POLLIN, 0};
  return poll(&wake, 1, milliseconds) == 0;
}

void ServerThread::Run() {
  Socket listening;
  if (!listening.Listen(port)) {
    WriteLog("ERROR, Couldn't initialize port: " + port);
    return;
  }
  WriteLog("INFO, Initialize port: " + port);
  // Accept runs only after poll saw a connection; non-blocking, a connection
  // that went away meanwhile cannot hold the thread in accept.
  const int handle = listening.ListeningHandle();
  fcntl(handle, F_SETFL, fcntl(handle, F_GETFL) | O_NONBLOCK);
  AcceptLoop(listening);
  listening.Close();
}

void ServerThread::AcceptLoop(Socket& listening) {
  int failures = 0;
  for (;;) {
    pollfd wait[2] = {{listening.ListeningHandle(), POLLIN, 0}, {wakeHandle_, POLLIN, 0}};
    if (poll(wait, 2, -1) < 0 && errno != EINTR)
      return;
    if (wait[1].revents != 0)
      return;
    if (wait[0].revents == 0)
      continue;
    if (!listening.Accept()) {
      if (!listening.IsListening())
        return; // Socket::Accept has logged and closed the port
      if (listening.LastError() == EAGAIN)
        continue; // the connection went away before it was taken
      if (failures++ == 0)
        WriteLog("ERROR, ServerThread, accept failed: " +
                 std::string(std::strerror(listening.LastError())) + ", still listening on port " +
                 port);
      if (!Pause(kAcceptRetryMilliseconds))
        return;
      continue;
    }
    if (failures > 0) {
      WriteLog("INFO, ServerThread, accepting again after " + std::to_string(failures) +
               " failed accepts");
      failures = 0;
    }
    const int handle = listening.TakeConnected();
    if (LogEnabled(1))
      WriteLog("INFO, New Connection: " + std::to_string(handle));
    ++AwaitingRequests; // the worker drops it once it has read or given up its request
    if (!ChildThread::Start(
            std::make_unique<ChildThread>(handle, listening.PeerAddressText(), group_)) &&
        !Pause(kAcceptRetryMilliseconds))
      return;
    if (!HoldBack())
      return;
  }
}

bool ServerThread::HoldBack() {
  bool logged = false;
  for (;;) {
    if (ActiveAssociations.load() > kMaxActiveAssociations) {
      if (!Pause(kThrottleMilliseconds))
        return false;
      continue;
    }
    if (AwaitingRequests.load() < kMaxAwaitingRequests)
      return true;
    if (!logged)
      WriteLog("WARNING, ServerThread, " + std::to_string(kMaxAwaitingRequests) +
               " connections wait for their A-ASSOCIATE-RQ, new connections wait in the backlog");
    logged = true;
    if (!Pause(kAcceptRetryMilliseconds))
      return false;
  }
}

long RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
    return -1;
  if (limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
      getrlimit(RLIMIT_NOFILE, &limit);
  }
  return limit.rlim_cur == RLIM_INFINITY ? -1 : static_cast<long>(limit.rlim_cur);
}

void StartListener(const std::string& port) {
  RaiseOpenFileLimit();
  std::lock_guard lock(processListenerMutex);
  if (processListener)
    return;
  processListener = std::make_unique<ServerThread>(port);
  processListener->Start();
}

void StopListener() {
  std::unique_ptr<ServerThread> listener;
  {
    std::lock_guard lock(processListenerMutex);
    listener.swap(processListener);
  }
  listener.reset();
}
