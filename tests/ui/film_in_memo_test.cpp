// End to end: a film from dcmjs-dimse, printed to a PDF file by the rule of its
// called AE title, reported in Memo1 of the window that started the listener.
#include <fstream>

#include "ui_test_support.h"

namespace ui_test {
namespace {

class FilmInMemoTest : public UiTest {};

constexpr const char *kJob = R"({"meta": "gray", "calling": "MODALITY", "steps": [
  {"op": "createSession", "attrs": {"NumberOfCopies": "1"}},
  {"op": "createFilmBox", "attrs": {"ImageDisplayFormat": "STANDARD\\1,1",
                                    "FilmOrientation": "PORTRAIT", "FilmSizeID": "8INX10IN"}},
  {"op": "setImage", "filmBox": 0, "box": 0, "image": {"rows": 64, "columns": 64}},
  {"op": "printFilmBox", "filmBox": 0},
  {"op": "deleteFilmBox", "filmBox": 0},
  {"op": "deleteSession"}]})";

TEST_F(FilmInMemoTest, APrintedFilmIsReportedInMemo1) {
  const std::string script = testing_support::SourcePath("tests/e2e/scripts/print_job.js");
  if (testing_support::FindProgram("node").empty() || !std::filesystem::exists(script))
    GTEST_SKIP() << "node or the dcmjs-dimse print job script is missing";
  WriteIni("LogLevel=1\r\n");
  WriteRules({"FILMS|PDF|0|FALSE|9|10|10|0|0|0|0"});
  CorvanelForms &created = CreateForms();
  ASSERT_TRUE(testing_support::WaitForPort(port));
  const std::string jobFile = Home() + "job.json";
  testing_support::WriteFile(jobFile, kJob);
  // The event loop runs while the peer works: the workers' lines wait for the window.
  testing_support::ChildProcess job({"node", script, std::to_string(port), "FILMS", jobFile});
  ASSERT_TRUE(WaitUntil([&] { return !job.Running(); }, 30000));
  EXPECT_EQ(job.Wait(), 0) << job.Stdout() << job.Stderr();
  EXPECT_NE(job.Stdout().find("statuses 0 0 0 0 0 0"), std::string::npos) << job.Stdout();
  EXPECT_TRUE(WaitUntil([&] {
    return created.mainForm.Memo1->toPlainText().contains(
        "INFO, Starting Printing Process, Matrix: 1, 1, to PDF");
  })) << created.mainForm.Memo1->toPlainText().toStdString();
  EXPECT_FALSE(std::filesystem::is_empty(Home() + "filmbox/PDF"));
}

} // namespace
} // namespace ui_test
