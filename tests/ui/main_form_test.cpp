// The main window: start-up, the echo of log lines into Memo1, About and End.
#include <QTest>
#include <thread>

#include "frame/date_time.h"
#include "frame/event_log.h"
#include "ui_test_support.h"

namespace ui_test {
namespace {

class MainFormTest : public UiTest {};

QStringList MemoLines(const TCorvanelMainForm &form) {
  return form.Memo1->toPlainText().split('\n');
}

TEST_F(MainFormTest, StartsTheServerOnceTheEventLoopRuns) {
  CorvanelForms &created = CreateForms(false);
  // Queued: nothing of the start-up has run while the forms are being created.
  EXPECT_FALSE(created.mainForm.Timer1->isActive());
  EXPECT_FALSE(created.mainForm.Memo1->toPlainText().contains("INFO, Corvanel V"));
  ASSERT_TRUE(WaitUntil([&] { return created.mainForm.Timer1->isActive(); }));
  EXPECT_EQ(created.mainForm.Timer1->interval(), 1000);
  EXPECT_TRUE(MemoLines(created.mainForm)
                  .contains(QString::fromStdString("INFO, Corvanel V" + FileVersionText(""))));
  EXPECT_TRUE(std::filesystem::is_directory(Home() + "filmbox"));
  EXPECT_TRUE(created.mainForm.Button1->isEnabled());
  EXPECT_TRUE(testing_support::WaitForPort(port));

  created.mainForm.Timer1Timer();
  EXPECT_EQ(created.mainForm.Timer1->interval(), 300000);
  EXPECT_TRUE(created.mainForm.Timer1->isActive());
}

TEST_F(MainFormTest, EnableSetupFalseDisablesSetupWhileAboutAndEndWork) {
  WriteIni("EnableSetup=0\r\n");
  CorvanelForms &created = CreateForms();
  EXPECT_FALSE(created.mainForm.Button1->isEnabled());
  created.mainForm.show();

  ModalAnswerer answerer;
  created.mainForm.Button2->click();
  ASSERT_EQ(answerer.messages.size(), 1u);
  EXPECT_EQ(answerer.messages[0], "Corvanel: " + TCorvanelMainForm::AboutText().toStdString());

  created.mainForm.Button3->click();
  EXPECT_FALSE(created.mainForm.isVisible());
  const std::string log = testing_support::ReadFile(created.mainForm.Frame().LogFolder() +
                                                    FormatDateTime("yyyymmdd") + "_corvanel.txt");
  EXPECT_NE(log.find("is finishing ****"), std::string::npos);
  // After End the log is closed: nothing more reaches the file or Memo1.
  WriteLog("INFO, after the end");
  EXPECT_FALSE(created.mainForm.Memo1->toPlainText().contains("after the end"));
  EXPECT_FALSE(testing_support::PortOpen(port));
}

TEST_F(MainFormTest, AboutTextForAPrintCountOfZero) {
  EXPECT_EQ(TCorvanelMainForm::AboutText().toStdString(),
            "Corvanel V" + FileVersionText("") + "\n\rVeltrano.\r\nPrint Count = 0\r\n");
}

TEST_F(MainFormTest, MemoKeepsTheLatest500Lines) {
  CorvanelForms &created = CreateForms();
  for (int line = 1; line <= 500; ++line)
    WriteLog("INFO, line " + std::to_string(line));
  QStringList lines = MemoLines(created.mainForm);
  ASSERT_EQ(lines.size(), 500);
  EXPECT_EQ(lines.front(), "INFO, line 1");

  WriteLog("INFO, line 501");
  lines = MemoLines(created.mainForm);
  ASSERT_EQ(lines.size(), 500);
  EXPECT_EQ(lines.front(), "INFO, line 2");
  EXPECT_EQ(lines.back(), "INFO, line 501");
}

TEST_F(MainFormTest, LinesOfOtherThreadsReachMemoInOrder) {
  CorvanelForms &created = CreateForms();
  std::thread worker([] {
    for (int line = 1; line <= 20; ++line)
      WriteLog("INFO, worker line " + std::to_string(line));
  });
  ASSERT_TRUE(
      WaitUntil([&] { return MemoLines(created.mainForm).contains("INFO, worker line 20"); }));
  worker.join();
  const QStringList lines = MemoLines(created.mainForm);
  EXPECT_LT(lines.indexOf("INFO, worker line 1"), lines.indexOf("INFO, worker line 20"));
}

TEST_F(MainFormTest, AWindowThatDoesNotAnswerHoldsAWorkerAtMostHalfASecond) {
  CreateForms();
  // The GUI thread is busy joining the worker, so no echo can be taken.
  const auto start = std::chrono::steady_clock::now();
  std::thread worker([] { WriteLog("INFO, while the window is busy"); });
  worker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

} // namespace
} // namespace ui_test
