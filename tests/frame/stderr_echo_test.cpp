#include "frame/stderr_echo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

TEST(StderrEcho, LineAndLineFeedReachTheReader) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  EXPECT_TRUE(EchoLine(fds[1], "INFO, Corvanel V1.0.0", std::chrono::milliseconds(500)));
  char buffer[64] = {};
  const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0), "INFO, Corvanel V1.0.0\n");
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(StderrEcho, AStalledReaderCostsAtMostTheBound) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  // Fill the pipe: nobody reads it.
  ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
  const std::string block(4096, 'x');
  while (::write(fds[1], block.data(), block.size()) > 0) {
  }
  ::fcntl(fds[1], F_SETFL, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(EchoLine(fds[1], "INFO, lost", std::chrono::milliseconds(100)));
  // Generous: what matters is that the writer returns instead of blocking.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(StderrEcho, ClosedReaderFailsWithoutASignal) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[0]);
  EXPECT_FALSE(EchoLine(fds[1], "INFO, nobody", std::chrono::milliseconds(100)));
  ::close(fds[1]);
}
