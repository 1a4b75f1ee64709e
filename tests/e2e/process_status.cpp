#include "process_status.h"

#include <filesystem>
#include <fstream>
#include <string>

ProcessStatus StatusOf(pid_t pid) {
  ProcessStatus status;
  const std::string proc = "/proc/" + std::to_string(pid);
  std::ifstream file(proc + "/status");
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("VmRSS:", 0) == 0)
      status.residentKB = std::stol(line.substr(6));
    else if (line.rfind("Threads:", 0) == 0)
      status.threads = std::stoi(line.substr(8));
  }
  std::error_code error;
  status.handles = 0;
  for (auto it = std::filesystem::directory_iterator(proc + "/fd", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error))
    ++status.handles;
  return status;
}
