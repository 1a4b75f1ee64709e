#include "frame/program_folder.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace {
std::mutex folderMutex;
std::string folder = "./";
} // namespace

std::string ProgramFolder() {
  std::lock_guard lock(folderMutex);
  return folder;
}

void SetProgramFolder(std::string path) {
  if (path.empty())
    path = "./";
  if (path.back() != '/')
    path += '/';
  std::lock_guard lock(folderMutex);
  folder = std::move(path);
}

void InitProgramFolder() {
  if (const char *home = std::getenv("CORVANEL_HOME"); home && *home) {
    SetProgramFolder(home);
    return;
  }
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  SetProgramFolder(error ? std::string("./") : exe.parent_path().string());
}
