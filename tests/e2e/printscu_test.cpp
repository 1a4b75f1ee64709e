// corvanel-printscu against corvanel-server and against DCMTK's dcmprscp: test
// patterns and DICOM files become films, failures give a non-zero exit code
// with the status that caused them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "dicom/dcm_obj.h"
#include "print_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

int PrintScu(const std::vector<std::string> &arguments, std::string *output) {
  std::vector<std::string> argv{BuildPath("corvanel-printscu")};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunCommand(argv, output, std::chrono::seconds(60));
}

// A 64 x 64 CT-like slice, 16-bit signed with rescale and window, in explicit VR.
void WriteCtFile(const fs::path &path) {
  DcmObj ct;
  ct.TransferSyntax = "1.2.840.10008.1.2.1";
  ct.Explicit = true;
  ct.AddString(0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.2");
  ct.AddString(0x0008, 0x0018, "2.25.1234567");
  ct.AddUShort(0x0028, 0x0002, 1);
  ct.AddString(0x0028, 0x0004, "MONOCHROME2");
  ct.AddUShort(0x0028, 0x0010, 64);
  ct.AddUShort(0x0028, 0x0011, 64);
  ct.AddUShort(0x0028, 0x0100, 16);
  ct.AddUShort(0x0028, 0x0101, 16);
  ct.AddUShort(0x0028, 0x0102, 15);
  ct.AddUShort(0x0028, 0x0103, 1);
  ct.AddString(0x0028, 0x1050, "40");
  ct.AddString(0x0028, 0x1051, "400");
  ct.AddString(0x0028, 0x1052, "-1024");
  ct.AddString(0x0028, 0x1053, "1");
  std::vector<int16_t> pixels(64 * 64);
  for (int i = 0; i < 64 * 64; ++i)
    pixels[i] = static_cast<int16_t>((i % 64) * 40 - 500);
  ct.AddBytes(0x7FE0, 0x0010, static_cast<uint32_t>(pixels.size() * 2), pixels.data());
  ASSERT_TRUE(ct.Write(path.string(), "1.2.840.10008.5.1.4.1.1.2", "2.25.1234567"));
}

} // namespace

TEST(PrintScu, PatternsAndDicomFilesBecomeFilmsOfCorvanel) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening());
  TempDir files;
  WriteCtFile(files.path() / "ct.dcm");
  const std::string port = std::to_string(server.port);
  struct Case {
    std::vector<std::string> arguments;
    int components; // of the decoded films
    size_t films;   // made by the job
  };
  const std::vector<Case> cases = {
      {{"--format", "STANDARD\\2,1", "--bits", "12", "--size", "64x48"}, 1, 1},
      {{"--pattern", "colour", "--size", "40x30", "--orientation", "LANDSCAPE"}, 3, 1},
      {{"--bits", "8", "--size", "16x16", "--copies", "2"}, 1, 1},
      {{"--bits", "16", "--size", "30x20", "--film-size", "8INX10IN"}, 1, 1},
      {{"--action", "session", "127.0.0.1", port, (files.path() / "ct.dcm").string(),
        (files.path() / "ct.dcm").string()},
       1,
       2}, // two files in STANDARD\\1,1: two film boxes, one N-ACTION of the session
  };
  size_t films = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    std::vector<std::string> arguments = {"-aec", "JPG", "--label", "TEST"};
    arguments.insert(arguments.end(), cases[i].arguments.begin(), cases[i].arguments.end());
    if (i != cases.size() - 1) {
      arguments.push_back("127.0.0.1");
      arguments.push_back(port);
    }
    std::string output;
    EXPECT_EQ(PrintScu(arguments, &output), 0) << output;
    EXPECT_NE(output.find("N-ACTION Basic Film"), std::string::npos) << output;
    EXPECT_NE(output.find("jobs=1 failed=0"), std::string::npos) << output;
    const auto written = server.Files("filmbox/JPEG");
    films += cases[i].films;
    ASSERT_EQ(written.size(), films);
    Film film;
    std::string error;
    ASSERT_TRUE(DecodeFilm(written.back(), film, error)) << error;
    EXPECT_EQ(film.components, cases[i].components);
  }
}

TEST(PrintScu, FailuresGiveTheStatusAndANonZeroExitCode) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening());
  TempDir files;
  WriteFile(files.path() / "not.dcm", "no DICOM here");
  std::string output;
  // 45 positions: the film box is refused with 0x0106.
  EXPECT_EQ(PrintScu({"-aec", "JPG", "--format", "STANDARD\\5,9", "127.0.0.1",
                      std::to_string(server.port)},
                     &output),
            1);
  EXPECT_NE(output.find("N-CREATE Basic Film Box: status 0x0106"), std::string::npos) << output;
  EXPECT_EQ(PrintScu({"127.0.0.1", std::to_string(FreePort())}, &output), 1);
  EXPECT_NE(output.find("not accepted"), std::string::npos) << output;
  EXPECT_EQ(PrintScu({"127.0.0.1", "104", (files.path() / "not.dcm").string()}, &output), 1);
  EXPECT_NE(output.find("not a DICOM file"), std::string::npos) << output;
  EXPECT_EQ(PrintScu({"--bits", "10", "127.0.0.1", "104"}, &output), 2);
}

TEST(PrintScu, LoadAndEchoAgainstCorvanel) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening());
  std::string output;
  EXPECT_EQ(PrintScu({"-aec", "STORE", "--size", "32x32", "--format", "STANDARD\\2,2", "--parallel",
                      "3", "--repeat", "2", "127.0.0.1", std::to_string(server.port)},
                     &output),
            0)
      << output;
  EXPECT_NE(output.find("jobs=6 failed=0 parallel=3"), std::string::npos) << output;
  EXPECT_EQ(server.Folders("imagebox").size(), 6u) << "one stored session per job";
  EXPECT_EQ(PrintScu({"--echo", "50", "127.0.0.1", std::to_string(server.port)}, &output), 0);
  EXPECT_NE(output.find("echoes_per_s="), std::string::npos) << output;
}

TEST(PrintScu, FilmOfDcmtkPrintScpIsStoredInItsDatabase) {
  if (FindProgram("dcmprscp").empty())
    GTEST_SKIP() << "dcmprscp is not installed";
  TempDir folder;
  const int port = FreePort();
  for (const char *sub : {"log", "spool", "database"})
    fs::create_directory(folder.path() / sub);
  const std::string root = folder.path().string();
  WriteFile(
      folder.path() / "prscp.cfg",
      "[[GENERAL]]\n[APPLICATION]\nLogDirectory = " + root +
          "/log\nLogFile = general.log\n"
          "[PRINT]\nDirectory = " +
          root + "/spool\n[DATABASE]\nDirectory = " + root +
          "/database\n[[COMMUNICATION]]\n[TESTPRINTER]\nAetitle = PRINTSCP\n"
          "Hostname = localhost\nPort = " +
          std::to_string(port) +
          "\nType = LOCALPRINTER\nDisplayFormat = 1,1\\2,2\nFilmSizeID = 14INX17IN\\8INX10IN\n"
          "MediumType = PAPER\\BLUE FILM\nImplicitOnly = true\nMaxPDU = 16384\n"
          "Supports12Bit = true\nSupportsPresentationLUT = false\n");
  ChildProcess dcmprscp(
      {"dcmprscp", "-c", (folder.path() / "prscp.cfg").string(), "-p", "TESTPRINTER"},
      {{"TCP_NODELAY", "1"}}, folder.path());
  ASSERT_TRUE(WaitForPort(port));
  std::string output;
  EXPECT_EQ(PrintScu({"-aec", "PRINTSCP", "--format", "STANDARD\\2,2", "--medium", "BLUE FILM",
                      "--size", "64x64", "127.0.0.1", std::to_string(port)},
                     &output),
            0)
      << output;
  int stored = 0, hardcopies = 0;
  for (const auto &entry : fs::directory_iterator(folder.path() / "database")) {
    const std::string name = entry.path().filename().string();
    stored += name.rfind("SP_", 0) == 0;
    hardcopies += name.rfind("HG_", 0) == 0;
  }
  EXPECT_EQ(stored, 1);
  EXPECT_EQ(hardcopies, 4);
  // An unsupported display format is refused by dcmprscp.
  EXPECT_EQ(PrintScu({"-aec", "PRINTSCP", "--format", "STANDARD\\3,3", "--size", "16x16",
                      "127.0.0.1", std::to_string(port)},
                     &output),
            1);
  EXPECT_NE(output.find("FAILED: N-CREATE Basic Film Box"), std::string::npos) << output;
}
