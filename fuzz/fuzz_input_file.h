#pragma once
// The fuzz input as a file for readers that take a path: an anonymous memory
// file, named through /proc/self/fd, so that no run touches the disk.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInputFile {
public:
  FuzzInputFile(const uint8_t *data, size_t size) : fd_(memfd_create("fuzz-input", 0)) {
    for (size_t written = 0; fd_ >= 0 && written < size;) {
      const ssize_t n = write(fd_, data + written, size - written);
      if (n <= 0)
        break;
      written += static_cast<size_t>(n);
    }
  }
  ~FuzzInputFile() {
    if (fd_ >= 0)
      close(fd_);
  }
  FuzzInputFile(const FuzzInputFile &) = delete;
  FuzzInputFile &operator=(const FuzzInputFile &) = delete;

  bool Open() const { return fd_ >= 0; }
  std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
  int fd_;
};
