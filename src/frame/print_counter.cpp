#include "frame/print_counter.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <mutex>

#include "frame/event_log.h"

namespace {
// Serialises the threads of this process; flock serialises the processes.
std::mutex &CounterMutex() {
  static std::mutex *mutex = new std::mutex;
  return *mutex;
}

// A base-36 number needs at most 13 digits; anything past that is not read.
constexpr size_t MaxCountText = 64;

int DigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z')
    return c - 'A' + 10;
  return -1;
}

std::string ReadText(int fd) {
  char buffer[MaxCountText];
  size_t length = 0;
  while (length < sizeof buffer) {
    const ssize_t n = ::pread(fd, buffer + length, sizeof buffer - length, length);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    length += static_cast<size_t>(n);
  }
  return std::string(buffer, length);
}

bool WriteText(int fd, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done, done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return ::ftruncate(fd, static_cast<off_t>(text.size())) == 0;
}

bool LockFile(int fd, int operation) {
  while (::flock(fd, operation) != 0)
    if (errno != EINTR)
      return false;
  return true;
}

int64_t ToCount(uint64_t value) {
  constexpr uint64_t max = std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(std::min(value, max));
}
} // namespace

std::string PrintCountPath() {
  std::string base;
  if (const char *config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
    base = config;
  } else {
    const char *home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd *user = ::getpwuid(::getuid());
      home = user && user->pw_dir ? user->pw_dir : "/tmp";
    }
    base = std::string(home) + "/.config";
  }
  return base + "/veltrano/corvanel/PrintCount";
}

std::string FormatBase36(uint64_t value) {
  std::string digits;
  do {
    const int digit = static_cast<int>(value % 36);
    digits.insert(digits.begin(), static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10));
    value /= 36;
  } while (value != 0);
  return digits;
}

uint64_t ParseBase36(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  uint64_t value = 0;
  constexpr uint64_t max = std::numeric_limits<uint64_t>::max();
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i]);
    if (digit < 0)
      break;
    if (value > (max - static_cast<uint64_t>(digit)) / 36)
      return max;
    value = value * 36 + static_cast<uint64_t>(digit);
  }
  return value;
}

int64_t ReadPrintCount() {
  std::lock_guard lock(CounterMutex());
  const int fd = ::open(PrintCountPath().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return 0;
  uint64_t value = 0;
  if (LockFile(fd, LOCK_SH))
    value = ParseBase36(ReadText(fd));
  ::close(fd);
  return ToCount(value);
}

int64_t IncrementPrintCount() {
  std::lock_guard lock(CounterMutex());
  const std::string path = PrintCountPath();
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    WriteLog("ERROR, PrintCount: cannot open " + path + ", " + std::to_string(errno));
    return -1;
  }
  int64_t count = -1;
  if (LockFile(fd, LOCK_EX)) {
    // The count saturates at the largest value a caller can hold.
    const int64_t stored = ToCount(ParseBase36(ReadText(fd)));
    const int64_t next = stored == std::numeric_limits<int64_t>::max() ? stored : stored + 1;
    if (WriteText(fd, FormatBase36(static_cast<uint64_t>(next))))
      count = next;
  }
  const int failure = errno;
  ::close(fd);
  if (count < 0)
    WriteLog("ERROR, PrintCount: cannot write " + path + ", " + std::to_string(failure));
  return count;
}
