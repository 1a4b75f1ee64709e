#include "listener_server.h"

#include <filesystem>
#include <fstream>
#include <thread>

using namespace testing_support;

ServerUnderTest::ServerUnderTest(ServerSettings settings)
    : port(settings.port != 0 ? settings.port : FreePort()) {
  WriteFile(home_.path() / "corvanel.ini", "[CORVANEL]\nPort=" + std::to_string(port) +
                                               "\nLogLevel=" + std::to_string(settings.logLevel) +
                                               "\nPresentationLUT=" +
                                               (settings.presentationLUT ? "1" : "0") + "\n");
  std::vector<std::string> argv;
  if (settings.openFileLimit != 0) {
    const std::string limit = std::to_string(settings.openFileLimit);
    argv = {"prlimit", "--nofile=" + limit + ":" + limit};
  }
  argv.push_back(BuildPath("corvanel-server"));
  process_ = std::make_unique<ChildProcess>(argv, std::map<std::string, std::string>{
                                                      {"CORVANEL_HOME", home_.path().string()}});
}

ServerUnderTest::~ServerUnderTest() { Stop(); }

bool ServerUnderTest::WaitListening() {
  // The probe of WaitForPort sends no request: wait for its line too, so that
  // a test sees only the lines of its own associations after this.
  return WaitForLog("INFO, Initialize port: " + std::to_string(port)) && WaitForPort(port) &&
         WaitForLog("ERROR: Association Failed! ");
}

std::string ServerUnderTest::Log() const { return process_->Stderr(); }

bool ServerUnderTest::WaitForLog(const std::string& text,
                                 std::chrono::milliseconds timeout) const {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (Log().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

bool ServerUnderTest::WaitForCount(const std::string& text, int count,
                                   std::chrono::milliseconds timeout) const {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (CountInLog(text) < count) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

int ServerUnderTest::CountInLog(const std::string& text) const {
  const std::string log = Log();
  int count = 0;
  for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
    ++count;
  return count;
}

int ServerUnderTest::Threads() const {
  std::ifstream status("/proc/" + std::to_string(process_->pid()) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Threads:", 0) == 0)
      return std::stoi(line.substr(8));
  return -1;
}

int ServerUnderTest::OpenHandles() const {
  std::error_code error;
  int count = 0;
  for (auto it = std::filesystem::directory_iterator(
           "/proc/" + std::to_string(process_->pid()) + "/fd", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error))
    ++count;
  return count;
}

int RunDcmtk(const std::string& tool, const std::vector<std::string>& options, int port,
             std::string* output, const std::vector<std::string>& files,
             std::chrono::milliseconds timeout) {
  std::vector<std::string> argv{tool};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back("127.0.0.1");
  argv.push_back(std::to_string(port));
  argv.insert(argv.end(), files.begin(), files.end());
  return RunCommand(argv, output, timeout);
}
