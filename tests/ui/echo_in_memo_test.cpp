// End to end: a C-ECHO from DCMTK's echoscu reaches the listener that the
// window started, and its log line appears in Memo1.
#include "ui_test_support.h"

namespace ui_test {
namespace {

class EchoInMemoTest : public UiTest {};

TEST_F(EchoInMemoTest, TheEchoLineAppearsInMemo1) {
  if (testing_support::FindProgram("echoscu").empty())
    GTEST_SKIP() << "echoscu (dcmtk) not installed";
  WriteIni("LogLevel=1\r\n");
  CorvanelForms &created = CreateForms();
  ASSERT_TRUE(testing_support::WaitForPort(port));
  // The event loop keeps running while the peer works: the workers' lines
  // wait for the window to take them.
  testing_support::ChildProcess echo(
      {"echoscu", "-aet", "ECHOSCU", "-aec", "CORVANEL", "127.0.0.1", std::to_string(port)});
  ASSERT_TRUE(WaitUntil([&] { return !echo.Running(); }, 20000));
  EXPECT_EQ(echo.Wait(), 0) << echo.Stdout() << echo.Stderr();
  EXPECT_TRUE(WaitUntil(
      [&] { return created.mainForm.Memo1->toPlainText().split('\n').contains("C-ECHO"); }));
}

} // namespace
} // namespace ui_test
