// Print jobs from dcmjs-dimse through corvanel-server onto the queue of a
// private CUPS scheduler: the film arrives as a PDF with its copies, a rule
// naming a missing queue and a stopped spooler answer the N-ACTION with an
// error, and the server keeps serving.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cups_spooler.h"
#include "print_support.h"

namespace {

using testing_support::RunCommand;

const std::string kRules = "CUPS|corvtest|1|FALSE|9|10|10|0|2|0|0\r\n"
                           "NOQUEUE|nosuchqueue|1|FALSE|9|10|10|0|2|0|0\r\n"
                           "JPG|JPEG|0|FALSE|9|10|10|0|0|0|0\r\n";

// Session with two copies, one 1 x 1 film box with a 256 x 256 image, N-ACTION
// on the film box; the N-ACTION is step 3.
const std::string kJob =
    R"({"meta":"gray","steps":[)"
    R"({"op":"createSession","attrs":{"NumberOfCopies":"2","FilmSessionLabel":"CUPS"}},)"
    R"({"op":"createFilmBox","attrs":{"ImageDisplayFormat":"STANDARD\\1,1",)"
    R"("FilmSizeID":"14INX17IN","FilmOrientation":"PORTRAIT"}},)"
    R"({"op":"setImage","filmBox":0,"box":0,"image":{"rows":256,"columns":256,"bits":8}},)"
    R"({"op":"printFilmBox","filmBox":0},)"
    R"({"op":"deleteFilmBox","filmBox":0},{"op":"deleteSession"}]})";
constexpr size_t kActionStep = 3;

std::string PdfPages(const std::filesystem::path& pdf) {
  std::string output;
  RunCommand({"pdfinfo", pdf.string()}, &output);
  const size_t at = output.find("\nPages:");
  if (at == std::string::npos) return "";
  const size_t start = output.find_first_not_of(' ', at + 7);
  return output.substr(start, output.find('\n', start) - start);
}

TEST(CupsServer, FilmBoxesPrintedThroughTheServer) {
  SKIP_UNLESS_PRIVATE_SPOOLER_CAN_RUN();
  PrivateSpooler spooler;
  ASSERT_TRUE(spooler.Ready()) << spooler.Problem();
  spooler.UseFromThisProcess(); // corvanel-server inherits CUPS_SERVER
  PrintServerSettings settings;
  settings.rules = kRules;
  settings.settings = "EnableHeaders=1\nHeader=THROUGH THE SERVER\n";
  PrintServer server(settings);
  ASSERT_TRUE(server.WaitListening()) << server.Log();

  PrintJobResult result = RunPrintJob(server.port, "CUPS", kJob);
  ASSERT_EQ(result.statuses.size(), 6u) << result.output;
  for (int status : result.statuses) EXPECT_EQ(status, 0) << result.output << server.Log();
  ASSERT_TRUE(spooler.WaitForJob(1)) << spooler.ErrorLog() << server.Log();
  EXPECT_EQ(PdfPages(spooler.JobPdf(1)), "2");
  EXPECT_NE(spooler.JobOptions(1).find("print-color-mode=monochrome"), std::string::npos);
  std::string text;
  RunCommand({"pdftotext", spooler.JobPdf(1).string(), "-"}, &text);
  EXPECT_NE(text.find("THROUGH THE SERVER"), std::string::npos) << text;

  // A rule naming a queue that does not exist: the CUPS error as the status.
  result = RunPrintJob(server.port, "NOQUEUE", kJob);
  ASSERT_GT(result.statuses.size(), kActionStep) << result.output;
  EXPECT_EQ(result.statuses[kActionStep], 0x0406) << result.output;
  EXPECT_TRUE(server.WaitForLog("ERROR, FilmBox::Print::CreateDC failed, Printer Name=nosuchqueue"))
      << server.Log();

  // With the spooler stopped the print fails, and the server still serves.
  spooler.Stop();
  result = RunPrintJob(server.port, "CUPS", kJob);
  ASSERT_GT(result.statuses.size(), kActionStep) << result.output;
  EXPECT_NE(result.statuses[kActionStep], 0) << result.output;
  EXPECT_TRUE(server.WaitForLog("ERROR, FilmBox::Print::CreateDC failed, Printer Name=corvtest"))
      << server.Log();
  result = RunPrintJob(server.port, "JPG", kJob);
  ASSERT_EQ(result.statuses.size(), 6u) << result.output;
  for (int status : result.statuses) EXPECT_EQ(status, 0) << result.output;
  EXPECT_EQ(server.Files("filmbox/JPEG").size(), 1u);
}

} // namespace
