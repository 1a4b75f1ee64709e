// The corvanel program itself, on the offscreen platform: it starts the server
// on its program folder, answers a C-ECHO and closes in order on SIGTERM.
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

TEST(CorvanelProgramTest, ServesAnEchoAndClosesOnSigterm) {
  if (FindProgram("echoscu").empty())
    GTEST_SKIP() << "echoscu (dcmtk) not installed";
  TempDir home;
  const int port = FreePort();
  WriteFile(home.path() / "corvanel.ini",
            "[CORVANEL]\r\nPort=" + std::to_string(port) + "\r\nLogLevel=1\r\n");
  ChildProcess corvanel({BuildPath("corvanel")},
                        {{"CORVANEL_HOME", home.folder()},
                         {"QT_QPA_PLATFORM", "offscreen"},
                         {"XDG_CONFIG_HOME", (home.path() / "config").string()}});
  ASSERT_TRUE(WaitForPort(port)) << corvanel.Stderr();
  std::string output;
  EXPECT_EQ(RunCommand({"echoscu", "-aec", "CORVANEL", "127.0.0.1", std::to_string(port)}, &output),
            0)
      << output;
  EXPECT_EQ(corvanel.Stop(SIGTERM), 0) << corvanel.Stderr();
  EXPECT_FALSE(PortOpen(port));
  std::string log;
  for (const auto &entry : std::filesystem::directory_iterator(home.path() / "logs"))
    log += ReadFile(entry.path());
  EXPECT_NE(log.find("C-ECHO"), std::string::npos) << log;
  EXPECT_NE(log.find(" is finishing ****"), std::string::npos) << log;
}

} // namespace
