#include "cups_spooler.h"

#include <cups/cups.h>
#include <stdlib.h>

#include <csignal>
#include <map>
#include <thread>

namespace {

using testing_support::RunCommand;

std::string PercentEncoded(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if (isalnum(c) || c == '.' || c == '-' || c == '_') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

} // namespace

PrivateSpooler::PrivateSpooler() {
  const std::string dir = dir_.path().string();
  std::string output;
  if (RunCommand({"sh", testing_support::SourcePath("tests/e2e/cups/make_spooler.sh"), dir},
                 &output) != 0) {
    problem_ = "make_spooler.sh: " + output;
    return;
  }
  cupsd_ = std::make_unique<testing_support::ChildProcess>(std::vector<std::string>{
      "cupsd", "-f", "-c", dir + "/cupsd.conf", "-s", dir + "/cups-files.conf"});
  const std::map<std::string, std::string> env{{"CUPS_SERVER", Socket()}};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (RunCommand({"lpstat", "-r"}, &output, std::chrono::seconds(10), env) != 0 ||
         output.find("scheduler is running") == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline || !cupsd_->Running()) {
      problem_ = "cupsd did not start: " + cupsd_->Stderr() + ErrorLog();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (RunCommand({"lpadmin", "-p", "corvtest", "-E", "-v", "capture:" + dir + "/capture", "-P",
                  dir + "/test_printer.ppd"},
                 &output, std::chrono::seconds(30), env) != 0) {
    problem_ = "lpadmin: " + output;
    return;
  }
  ready_ = true;
}

PrivateSpooler::~PrivateSpooler() { Stop(); }

void PrivateSpooler::UseFromThisProcess() const {
  setenv("CUPS_SERVER", Socket().c_str(), 1);
  cupsSetServer(Socket().c_str());
}

void PrivateSpooler::Stop() {
  if (cupsd_ && cupsd_->Running()) cupsd_->Stop(SIGTERM, std::chrono::seconds(20));
}

std::filesystem::path PrivateSpooler::JobPdf(int id) const {
  return dir_.path() / "capture" / ("job-" + std::to_string(id) + ".pdf");
}

std::string PrivateSpooler::JobOptions(int id) const {
  return testing_support::ReadFile(dir_.path() / "capture" /
                                   ("job-" + std::to_string(id) + ".options"));
}

bool PrivateSpooler::WaitForJob(int id, std::chrono::milliseconds timeout) const {
  const std::filesystem::path options =
      dir_.path() / "capture" / ("job-" + std::to_string(id) + ".options");
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!std::filesystem::exists(options)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

int PrivateSpooler::JobState(int id) const {
  const std::string uri = "ipp://" + PercentEncoded(Socket()) + "/jobs/" + std::to_string(id);
  std::string output;
  RunCommand({"ipptool", "-tv", uri, "get-job-attributes.test"}, &output);
  const std::string key = "job-state (enum) = ";
  const size_t at = output.find(key);
  if (at == std::string::npos) return -1;
  const std::string state = output.substr(at + key.size(), output.find('\n', at) - at - key.size());
  static const char* names[] = {"pending", "pending-held", "processing", "processing-stopped",
                                "canceled", "aborted", "completed"};
  for (int i = 0; i < 7; ++i)
    if (state == names[i]) return i + 3;
  return -1;
}

std::string PrivateSpooler::ErrorLog() const {
  return testing_support::ReadFile(dir_.path() / "log" / "error_log");
}
