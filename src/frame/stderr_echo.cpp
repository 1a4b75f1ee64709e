#include "frame/stderr_echo.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

bool EchoLine(int fd, std::string_view text, std::chrono::milliseconds bound) {
  using SteadyClock = std::chrono::steady_clock;
  const auto deadline = SteadyClock::now() + bound;
  const std::string line = std::string(text) + "\n";
  size_t done = 0;
  while (done < line.size()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    if (left.count() <= 0)
      return false;
    pollfd ready{fd, POLLOUT, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR)
      continue;
    if (polled <= 0 || (ready.revents & (POLLERR | POLLHUP | POLLNVAL)))
      return false;
    // A ready pipe takes PIPE_BUF bytes without blocking.
    const size_t chunk = std::min<size_t>(line.size() - done, PIPE_BUF);
    const ssize_t n = ::write(fd, line.data() + done, chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

LogEchoSink StderrEchoSink() {
  return [](const std::string &text) {
    EchoLine(STDERR_FILENO, text, std::chrono::milliseconds(500));
  };
}
