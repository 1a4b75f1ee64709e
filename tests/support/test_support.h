#pragma once
// Helpers shared by the tests: temporary folders, free loopback ports, files,
// and child processes (real peers such as DCMTK tools, or corvanel-server).
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder below the system temporary folder, removed when destroyed.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // The folder as text with a trailing '/', as the program folder wants it.
  std::string folder() const { return path_.string() + "/"; }

private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreePort();

// True when something accepts TCP connections on 127.0.0.1:port.
bool PortOpen(int port);

// Waits until port accepts connections; false after timeout.
bool WaitForPort(int port, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Waits until the file exists and contains text; false after timeout.
bool WaitForFileText(const std::filesystem::path& path, const std::string& text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Path of an executable in PATH, or empty.
std::string FindProgram(const std::string& name);

// A child process with its stdout and stderr captured in files.
class ChildProcess {
public:
  // Starts argv[0] (looked up in PATH) with extra environment variables.
  ChildProcess(std::vector<std::string> argv, std::map<std::string, std::string> env = {},
               std::filesystem::path workDir = {});
  ~ChildProcess(); // kills (SIGKILL) when still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool Running();
  // Sends sig; waits for the exit up to timeout; returns the exit code or -1.
  int Stop(int sig, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Waits for the exit up to timeout; returns the exit code, or -1 (still running
  // or killed by a signal).
  int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(60));
  std::string Stdout() const;
  std::string Stderr() const;

private:
  pid_t pid_ = -1;
  int status_ = -1;
  bool exited_ = false;
  TempDir outputDir_;
};

// Runs a command to completion (timeout kills it); returns the exit code and
// fills output with stdout followed by stderr.
int RunCommand(const std::vector<std::string>& argv, std::string* output = nullptr,
               std::chrono::milliseconds timeout = std::chrono::seconds(60),
               std::map<std::string, std::string> env = {});

// Built programs and source files of this tree.
std::string BuildPath(const std::string& relative);
std::string SourcePath(const std::string& relative);

} // namespace testing_support
