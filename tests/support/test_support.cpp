#include "support/test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace testing_support {
namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device random;
  path_ = fs::temp_directory_path() /
          ("corvanel_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
           std::to_string(random() % 100000));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

bool PortOpen(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool open = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return open;
}

bool WaitForPort(int port, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (PortOpen(port))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool WaitForFileText(const fs::path& path, const std::string& text,
                     std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  do {
    if (ReadFile(path).find(text) != std::string::npos)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos)
    return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = dir + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

ChildProcess::ChildProcess(std::vector<std::string> argv, std::map<std::string, std::string> env,
                           fs::path workDir) {
  const std::string program = FindProgram(argv.at(0));
  const std::string outPath = (outputDir_.path() / "stdout").string();
  const std::string errPath = (outputDir_.path() / "stderr").string();
  pid_ = ::fork();
  if (pid_ == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    for (const auto& [key, value] : env)
      ::setenv(key.c_str(), value.c_str(), 1);
    if (!workDir.empty() && ::chdir(workDir.c_str()) != 0)
      ::_exit(126);
    std::vector<char*> args;
    for (auto& arg : argv)
      args.push_back(arg.data());
    args.push_back(nullptr);
    ::execv(program.empty() ? argv[0].c_str() : program.c_str(), args.data());
    ::_exit(127);
  }
}

ChildProcess::~ChildProcess() {
  if (Running()) {
    ::kill(pid_, SIGKILL);
    Wait(std::chrono::seconds(5));
  }
}

bool ChildProcess::Running() {
  if (pid_ <= 0 || exited_)
    return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    exited_ = true;
    status_ = status;
    return false;
  }
  return true;
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (Running() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!exited_ || !WIFEXITED(status_))
    return -1;
  return WEXITSTATUS(status_);
}

int ChildProcess::Stop(int sig, std::chrono::milliseconds timeout) {
  if (Running())
    ::kill(pid_, sig);
  return Wait(timeout);
}

std::string ChildProcess::Stdout() const { return ReadFile(outputDir_.path() / "stdout"); }
std::string ChildProcess::Stderr() const { return ReadFile(outputDir_.path() / "stderr"); }

int RunCommand(const std::vector<std::string>& argv, std::string* output,
               std::chrono::milliseconds timeout, std::map<std::string, std::string> env) {
  ChildProcess child(argv, std::move(env));
  const int code = child.Wait(timeout);
  if (output)
    *output = child.Stdout() + child.Stderr();
  return code;
}

std::string BuildPath(const std::string& relative) {
  return std::string(CORVANEL_BINARY_DIR) + "/" + relative;
}
std::string SourcePath(const std::string& relative) {
  return std::string(CORVANEL_SOURCE_DIR) + "/" + relative;
}

} // namespace testing_support
