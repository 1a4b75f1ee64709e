#include "frame/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::atomic<unsigned> TempCounter{0};

bool Fail(const std::string& what, const std::string& path, int code, std::string* error) {
  if (error) *error = what + " " + path + ": " + std::strerror(code);
  return false;
}

} // namespace

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size,
                         std::string* error) {
  // The temporary name stays in the same folder (so the rename is atomic) and
  // starts with a dot, out of the way of programs that pick up finished films.
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string temp = folder + "." + name + "." + std::to_string(getpid()) + "." +
                           std::to_string(TempCounter.fetch_add(1)) + ".part";

  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return Fail("cannot create", temp, errno, error);
  int code = 0;
  if (struct stat existing{}; stat(path.c_str(), &existing) == 0 &&
                              fchmod(fd, existing.st_mode & 07777) != 0)
    code = errno;
  size_t written = 0;
  while (written < size && code == 0) {
    const ssize_t n = write(fd, data + written, size - written);
    if (n > 0)
      written += static_cast<size_t>(n);
    else if (n == 0)
      code = ENOSPC;
    else if (errno != EINTR)
      code = errno;
  }
  if (code == 0 && fsync(fd) != 0) code = errno;
  if (close(fd) != 0 && code == 0) code = errno;
  if (code != 0) {
    unlink(temp.c_str());
    return Fail("cannot write", temp, code, error);
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    code = errno;
    unlink(temp.c_str());
    return Fail("cannot rename to", path, code, error);
  }
  return true;
}
