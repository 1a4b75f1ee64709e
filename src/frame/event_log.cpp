#include "frame/event_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>

#include "corvanel_version.h"
#include "frame/clock.h"
#include "frame/date_time.h"

std::atomic<int> LogLevel{0};

namespace {
// One mutex serialises whole lines: the file append and the echo of a line
// complete before the next writer starts.
std::mutex logMutex;
struct LogTarget {
  std::string file;
  std::string windowTitle;
  std::string windowClass;
};
std::optional<LogTarget> target;
LogEchoSink echoSink;

void AppendToFile(const std::string& path, const std::string& line) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0)
    return;
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}
} // namespace

void SetLogTarget(const std::string& logFile, const std::string& windowTitle,
                  const std::string& windowClass) {
  std::lock_guard lock(logMutex);
  if (!target)
    target.emplace();
  if (!logFile.empty())
    target->file = logFile;
  if (!windowTitle.empty())
    target->windowTitle = windowTitle;
  if (!windowClass.empty())
    target->windowClass = windowClass;
}

void SetLogEchoSink(LogEchoSink sink) {
  std::lock_guard lock(logMutex);
  echoSink = std::move(sink);
}

void WriteLog(std::string_view text) {
  const std::string line = FormatDateTime("hh:nn:ss") + ", " + std::string(text) + "\n";
  std::lock_guard lock(logMutex);
  if (!target)
    return;
  if (!target->file.empty())
    AppendToFile(target->file, line);
  if ((!target->windowClass.empty() || !target->windowTitle.empty()) && echoSink)
    echoSink(std::string(text));
}

void CloseLog() {
  std::lock_guard lock(logMutex);
  target.reset();
}

void PurgeOldFiles(const std::string& folder, const std::string& extension, int days) {
  namespace fs = std::filesystem;
  if (folder.empty())
    return;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error)
    return;
  const auto limit = Now() - std::chrono::duration<double, std::ratio<86400>>(days);
  for (const auto& entry : it) {
    std::error_code entryError;
    if (entry.is_directory(entryError))
      continue;
    std::string ext = entry.path().extension().string();
    for (char& c : ext)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != extension)
      continue;
    const auto written = entry.last_write_time(entryError);
    if (entryError)
      continue;
    const auto writtenSystem = std::chrono::file_clock::to_sys(written);
    if (writtenSystem >= limit)
      continue;
    if (!fs::remove(entry.path(), entryError) || entryError)
      WriteLog("ERROR, deleting: " + entry.path().filename().string() + ", " +
               std::to_string(entryError ? entryError.value() : 0));
  }
}

std::string FileVersionText(const std::string& /*path*/) { return CORVANEL_VERSION_TEXT; }

long UsedMemoryMB() {
  std::ifstream statm("/proc/self/statm");
  long pagesTotal = 0, pagesResident = 0;
  if (!(statm >> pagesTotal >> pagesResident))
    return 0;
  return pagesResident * ::sysconf(_SC_PAGESIZE) / 1000000;
}
