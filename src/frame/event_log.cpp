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
struct LogTarget {
  std::string file;
  std::string windowTitle;
  std::string windowClass;
};

// The writer's state. One mutex serialises whole lines: the file append and
// the echo of a line complete before the next writer starts. The state is
// never destroyed, so a worker that still writes while the process exits finds
// a closed log, never a released one.
struct LogState {
  std::mutex mutex;
  std::optional<LogTarget> target;
  LogEchoSink echoSink;
};
LogState &State() {
  static LogState *state = new LogState;
  return *state;
}

void AppendToFile(const std::string &path, const std::string &line) {
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

// The extension of a file name from its last dot, dot included, in lower case.
std::string LowerExtension(const std::string &name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos)
    return {};
  std::string ext = name.substr(dot);
  for (char &c : ext)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return ext;
}
} // namespace

void SetLogTarget(const std::string &logFile, const std::string &windowTitle,
                  const std::string &windowClass) {
  LogState &state = State();
  std::lock_guard lock(state.mutex);
  if (!state.target)
    state.target.emplace();
  if (!logFile.empty())
    state.target->file = logFile;
  if (!windowTitle.empty())
    state.target->windowTitle = windowTitle;
  if (!windowClass.empty())
    state.target->windowClass = windowClass;
}

void SetLogEchoSink(LogEchoSink sink) {
  LogState &state = State();
  std::lock_guard lock(state.mutex);
  state.echoSink = std::move(sink);
}

void WriteLog(std::string_view text) {
  LogState &state = State();
  std::lock_guard lock(state.mutex);
  if (!state.target)
    return;
  // Texts from peers (AE titles, labels, UIDs) may hold control characters: a
  // line break in one must not start a line of its own.
  std::string safe(text);
  for (char &c : safe)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      c = '?';
  const std::string line = FormatDateTime("hh:nn:ss") + ", " + safe + "\n";
  if (!state.target->file.empty())
    AppendToFile(state.target->file, line);
  if ((!state.target->windowClass.empty() || !state.target->windowTitle.empty()) && state.echoSink)
    state.echoSink(safe);
}

void CloseLog() {
  LogState &state = State();
  std::lock_guard lock(state.mutex);
  state.target.reset();
}

void PurgeOldFiles(const std::string &folder, const std::string &extension, int days) {
  namespace fs = std::filesystem;
  if (folder.empty())
    return;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  const auto limit = Now() - std::chrono::duration<double, std::ratio<86400>>(days);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const fs::directory_entry &entry = *it;
    std::error_code entryError;
    if (entry.is_directory(entryError))
      continue;
    const std::string name = entry.path().filename().string();
    if (LowerExtension(name) != extension)
      continue;
    const auto written = entry.last_write_time(entryError);
    if (entryError)
      continue;
    if (std::chrono::file_clock::to_sys(written) >= limit)
      continue;
    if (!fs::remove(entry.path(), entryError) || entryError)
      WriteLog("ERROR, deleting: " + name + ", " +
               std::to_string(entryError ? entryError.value() : ENOENT));
  }
}

std::string FileVersionText(const std::string & /*path*/) { return CORVANEL_VERSION_TEXT; }

long UsedMemoryMB() {
  std::ifstream statm("/proc/self/statm");
  long pagesTotal = 0, pagesResident = 0;
  if (!(statm >> pagesTotal >> pagesResident))
    return 0;
  return pagesResident * ::sysconf(_SC_PAGESIZE) / 1000000;
}
