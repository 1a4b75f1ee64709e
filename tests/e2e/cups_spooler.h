#pragma once
// A private CUPS scheduler for the tests: its own configuration and spool in a
// temporary folder, listening only on a local socket there, with the queue
// "corvtest" (tests/e2e/cups/test_printer.ppd: A4, A3, Letter and custom sizes
// with margins, 600 dpi) whose capture backend keeps every job's PDF and options.
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "support/test_support.h"

// The capture backend must be owned by root (cupsd runs mode-700 backends as
// root), so the private spooler runs only when the tests run as root, as in CI.
#define SKIP_UNLESS_PRIVATE_SPOOLER_CAN_RUN()                                                      \
  if (::geteuid() != 0)                                                                            \
  GTEST_SKIP() << "the private CUPS spooler needs root"

class PrivateSpooler {
public:
  PrivateSpooler();
  ~PrivateSpooler();

  // False, with the reason in Problem(), when cupsd did not come up with the queue.
  bool Ready() const { return ready_; }
  const std::string& Problem() const { return problem_; }
  // The socket, for CUPS_SERVER and cupsSetServer.
  std::string Socket() const { return (dir_.path() / "cups.sock").string(); }
  // Points libcups of this thread (and child processes) at the spooler.
  void UseFromThisProcess() const;
  // Stops cupsd (SIGTERM) and waits for it to end.
  void Stop();

  // Waits for the capture of job id; false after timeout.
  bool WaitForJob(int id, std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
  std::filesystem::path JobPdf(int id) const;
  std::string JobOptions(int id) const;
  // The job-state of job id as Get-Job-Attributes reports it (9 completed), or -1.
  int JobState(int id) const;
  std::string ErrorLog() const;

private:
  testing_support::TempDir dir_;
  std::unique_ptr<testing_support::ChildProcess> cupsd_;
  bool ready_ = false;
  std::string problem_;
};
