#pragma once
// corvanel-server as the tests meet it: started on a free loopback port in a
// program folder of its own, its log read from the echo on stderr.
#include <csignal>
#include <chrono>
#include <memory>
#include <string>

#include "support/test_support.h"

struct ServerSettings {
  int logLevel = 1;
  bool presentationLUT = false;
  // Runs the server under `prlimit --nofile=N:N` when not 0.
  int openFileLimit = 0;
  // Taken as it is when not 0 (a port already in use); else a free one.
  int port = 0;
};

class ServerUnderTest {
public:
  explicit ServerUnderTest(ServerSettings settings = {});
  ~ServerUnderTest();

  // False when the port did not open in time.
  bool WaitListening();
  // Everything the server has logged so far.
  std::string Log() const;
  // Waits until the log holds text; false after timeout.
  bool WaitForLog(const std::string& text,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // How often text occurs in the log.
  int CountInLog(const std::string& text) const;
  // Waits until text stands at least count times in the log.
  bool WaitForCount(const std::string& text, int count,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // Threads and open handles of the server process (from /proc).
  int Threads() const;
  int OpenHandles() const;
  bool Running() { return process_->Running(); }
  // SIGTERM; the exit code, or -1 when it did not end within timeout.
  int Stop(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    return process_->Stop(SIGTERM, timeout);
  }

  const std::filesystem::path& Home() const { return home_.path(); }
  const int port;

private:
  testing_support::TempDir home_;
  std::unique_ptr<testing_support::ChildProcess> process_;
};

// DCMTK's tools, run against the server on 127.0.0.1.
// options go before the peer and port, files after them.
int RunDcmtk(const std::string& tool, const std::vector<std::string>& options, int port,
             std::string* output = nullptr, const std::vector<std::string>& files = {},
             std::chrono::milliseconds timeout = std::chrono::seconds(60));
