// corvanel-server as a service manager runs it: start, log, stop on a signal.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "frame/date_time.h"
#include "frame/event_log.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {
void RunAndStop(int stopSignal) {
  TempDir home;
  const int port = FreePort();
  WriteFile(home.path() / "corvanel.ini", "[CORVANEL]\nPort=" + std::to_string(port) + "\n");
  ChildProcess server({BuildPath("corvanel-server")}, {{"CORVANEL_HOME", home.path().string()}});
  const auto log = home.path() / "logs" / (FormatDateTime("yyyymmdd") + "_corvanel.txt");
  const std::string startLine = "INFO, Corvanel V" + FileVersionText("");
  ASSERT_TRUE(WaitForFileText(log, startLine)) << server.Stderr();
  EXPECT_EQ(ReadFile(log).substr(8, 2 + startLine.size() + 1), ", " + startLine + "\n");
  EXPECT_TRUE(std::filesystem::is_directory(home.path() / "filmbox"));
  EXPECT_TRUE(WaitForPort(port)) << server.Stderr(); // the configured Port

  EXPECT_EQ(server.Stop(stopSignal), 0);
  EXPECT_TRUE(WaitForFileText(log, "is finishing ****"));
  // Every line also went to stderr, without the time.
  EXPECT_EQ(server.Stderr().rfind(startLine + "\n", 0), 0u) << server.Stderr();
  EXPECT_NE(server.Stderr().find("INFO, **** Corvanel V"), std::string::npos);
}
} // namespace

TEST(ServerProcess, StopsCleanlyOnSigterm) { RunAndStop(SIGTERM); }
TEST(ServerProcess, StopsCleanlyOnSigint) { RunAndStop(SIGINT); }
