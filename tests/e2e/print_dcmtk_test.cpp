// Print jobs from DCMTK's print SCU against corvanel-server: dcmpsprt renders
// the job into its database, dcmprscu sends it (N-GET of the printer, an
// optional Presentation LUT, film session without data set, film box, N-SET
// per image, N-ACTION, N-DELETE).
#include <gtest/gtest.h>

#include <regex>

#include "dicom/dcm_obj.h"
#include "print_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// A Secondary Capture image of rows x columns, the top half black, the bottom half white.
fs::path WriteTestImage(const fs::path &folder, const std::string &name, int bits) {
  const int size = 256;
  const int bytesPerSample = bits > 8 ? 2 : 1;
  std::vector<uint8_t> pixels;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const unsigned value = y < size / 2 ? 0 : (1u << bits) - 1;
      pixels.push_back(value & 0xFF);
      if (bytesPerSample == 2)
        pixels.push_back(value >> 8);
    }
  const std::string uid = "1.2.826.0.1.3680043.2.1143.7." + std::to_string(bits);
  DcmObj image;
  image.Explicit = true;
  image.TransferSyntax = ts::ExplicitLittleEndian;
  image.AddString(0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.7");
  image.AddString(0x0008, 0x0018, uid + ".3");
  image.AddString(0x0008, 0x0060, "OT");
  image.AddString(0x0010, 0x0010, "TEST^PATTERN");
  image.AddString(0x0010, 0x0020, "4711");
  image.AddString(0x0020, 0x000D, uid + ".1");
  image.AddString(0x0020, 0x000E, uid + ".2");
  image.AddUShort(0x0028, 0x0002, 1);
  image.AddString(0x0028, 0x0004, "MONOCHROME2");
  image.AddUShort(0x0028, 0x0010, size);
  image.AddUShort(0x0028, 0x0011, size);
  image.AddUShort(0x0028, 0x0100, bytesPerSample * 8);
  image.AddUShort(0x0028, 0x0101, bits);
  image.AddUShort(0x0028, 0x0102, bits - 1);
  image.AddUShort(0x0028, 0x0103, 0);
  image.Add(std::make_unique<DcmTag>(0x7FE0, 0x0010, static_cast<uint32_t>(pixels.size()),
                                     pixels.data(), bytesPerSample == 2 ? "OW" : "OB"));
  const fs::path path = folder / name;
  image.Write(path.string(), "1.2.840.10008.5.1.4.1.1.7", uid + ".3");
  return path;
}

struct DcmtkJob {
  std::string called = "JPG";
  bool supports12Bit = false;
  bool presentationLUT = false;
  int columns = 1;
  int rows = 1;
  int images = 1;
  bool sessionPrint = false;
  int copies = 1;
  std::string label;
};

// Renders and sends the job; returns dcmprscu's output.
std::string PrintWithDcmtk(int port, const DcmtkJob &job) {
  TempDir work;
  const fs::path cfg = work.path() / "dcmpstat.cfg";
  std::string printer =
      "[CORVANEL]\nAetitle = " + job.called +
      "\nDescription = Corvanel\nHostname = 127.0.0.1\nPort = " + std::to_string(port) +
      "\nType = PRINTER\nMaxPDU = 16384\nImplicitOnly = true\n"
      "DisableNewVRs = true\nFilmSizeID = 14INX17IN\n"
      "DisplayFormat = 1,1\\2,2\nSupports12Bit = " +
      (job.supports12Bit ? "true" : "false") +
      "\nSupportsPresentationLUT = " + (job.presentationLUT ? "true" : "false") +
      "\nPresentationLUTinFilmSession = false\nAnnotation = false\n";
  WriteFile(cfg,
            "[[GENERAL]]\n[DATABASE]\nDirectory = " + (work.path() / "db").string() +
                "\n[PRINT]\nSpooler = dcmprscu\nDirectory = " + (work.path() / "spool").string() +
                "\nDetailedLog = false\n[[COMMUNICATION]]\n" + printer);
  fs::create_directories(work.path() / "db");
  fs::create_directories(work.path() / "spool");
  std::vector<std::string> render{"dcmpsprt",
                                  "-c",
                                  cfg.string(),
                                  "-p",
                                  "CORVANEL",
                                  "--layout",
                                  std::to_string(job.columns),
                                  std::to_string(job.rows),
                                  "--filmsize",
                                  "14INX17IN"};
  const int bits = job.supports12Bit ? 12 : 8;
  for (int i = 0; i < job.images; ++i)
    render.push_back(WriteTestImage(work.path(), "image" + std::to_string(i), bits).string());
  std::string output;
  if (RunCommand(render, &output) != 0)
    return "dcmpsprt failed: " + output;
  std::vector<fs::path> storedPrints;
  for (const auto &entry : fs::directory_iterator(work.path() / "db"))
    if (entry.path().filename().string().rfind("SP_", 0) == 0)
      storedPrints.push_back(entry.path());
  if (storedPrints.size() != 1)
    return "dcmpsprt made " + std::to_string(storedPrints.size()) + " Stored Prints: " + output;
  std::vector<std::string> send{"dcmprscu", "-c", cfg.string(), "-p",
                                "CORVANEL", "-v", "--copies",   std::to_string(job.copies)};
  if (!job.label.empty()) {
    send.push_back("--label");
    send.push_back(job.label);
  }
  if (job.sessionPrint)
    send.push_back("--session-print");
  send.push_back("+d");
  send.push_back(storedPrints.front().string());
  output.clear();
  RunCommand(send, &output, std::chrono::seconds(120));
  return output;
}

// dcmprscu exits 0 on failure too: success is no error line and a successful N-ACTION.
void ExpectPrinted(const std::string &output) {
  EXPECT_FALSE(std::regex_search(output, std::regex("(^|\n)E: "))) << output;
  const size_t action = output.find("N-ACTION RSP");
  ASSERT_NE(action, std::string::npos) << output;
  EXPECT_NE(output.find("0x0000: Success", action), std::string::npos) << output;
}

} // namespace

TEST(PrintDcmtk, JobsFromDcmprscuComeOutAsFilms) {
  struct Case {
    const char *name;
    DcmtkJob job;
    const char *folder;
    int width, height; // of the film
  };
  const std::vector<Case> cases = {
      {"8-bit STANDARD\\1,1 into JPEG", {}, "filmbox/JPEG", 799, 800},
      {"12-bit STANDARD\\2,2 into PDF, session print, copies and label",
       {"PDF", true, false, 2, 2, 4, true, 2, "DCMTKJOB"},
       "filmbox/PDF",
       1598,
       1600},
  };
  PrintServer server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const auto before = server.Files(c.folder);
    ExpectPrinted(PrintWithDcmtk(server.port, c.job));
    const auto after = server.Files(c.folder);
    ASSERT_EQ(after.size(), before.size() + 1) << server.Log();
    fs::path file;
    for (const auto &candidate : after)
      if (std::find(before.begin(), before.end(), candidate) == before.end())
        file = candidate;
    if (!c.job.label.empty()) {
      EXPECT_NE(file.filename().string().find("_" + c.job.label + "_"), std::string::npos) << file;
    }
    Film film;
    std::string error;
    ASSERT_TRUE(DecodeFilm(file, film, error)) << error;
    ASSERT_EQ(film.width, c.width);
    ASSERT_EQ(film.height, c.height);
    // Every cell shows the pattern: dark above its middle, bright below.
    for (int cy = 0; cy < c.job.rows; ++cy)
      for (int cx = 0; cx < c.job.columns; ++cx) {
        const int x = cx * 799 + 399, y = cy * 800 + 400;
        EXPECT_LT(film.At(x, y - 200), 40) << cx << "," << cy;
        EXPECT_GT(film.At(x, y + 200), 215) << cx << "," << cy;
      }
  }
  EXPECT_EQ(server.CountInLog("INFO, Successful Print Film Session"), 1);
}

// dcmprscu gives the job up when its Presentation LUT is refused; a print SCU
// that goes on gets its film as without the LUT.
TEST(PrintDcmtk, PresentationLUTIsRefusedWithStatus0115) {
  PrintServer server({kThreeRules, "PresentationLUT=1\n"});
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  DcmtkJob job;
  job.presentationLUT = true;
  const std::string output = PrintWithDcmtk(server.port, job);
  const size_t lut = output.find("N-CREATE RSP");
  ASSERT_NE(lut, std::string::npos) << output;
  EXPECT_NE(output.find("0x0115", lut), std::string::npos) << output;
  EXPECT_TRUE(server.WaitForLog("ERROR, Presentation LUT Shape")) << server.Log();

  const std::string steps =
      R"({"meta":"gray","steps":[{"op":"createLUT"},{"op":"createSession"},)"
      R"({"op":"createFilmBox","attrs":{"ImageDisplayFormat":"STANDARD\\1,1"}},)"
      R"({"op":"setImage","filmBox":0,"box":0,"image":{"rows":64,"columns":64}},)"
      R"({"op":"printFilmBox","filmBox":0}]})";
  const PrintJobResult result = RunPrintJob(server.port, "JPG", steps);
  EXPECT_EQ(result.statuses, (std::vector<int>{0x0115, 0, 0, 0, 0})) << result.output;
  const auto films = server.Files("filmbox/JPEG");
  ASSERT_EQ(films.size(), 1u) << server.Log();
  Film film;
  std::string error;
  ASSERT_TRUE(DecodeFilm(films.front(), film, error)) << error;
  EXPECT_LT(film.At(399, 200), 40);
  EXPECT_GT(film.At(399, 600), 215);
}

TEST(PrintDcmtk, JobFromDcmprscuIsStoredAsStoredPrint) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  ExpectPrinted(PrintWithDcmtk(server.port, {"STORE", true, false, 2, 2, 3, false, 1, "STORED"}));
  const auto sessions = server.Folders("imagebox");
  ASSERT_EQ(sessions.size(), 1u) << server.Log();
  ASSERT_TRUE(WaitForFileText(sessions.front() / "finalized", "STORE"));
  const auto files = server.Files(fs::relative(sessions.front(), server.Home()).string());
  int storedPrints = 0, hardcopies = 0;
  for (const auto &file : files) {
    const std::string name = file.filename().string();
    if (name == "finalized")
      continue;
    int code = -1;
    const std::string dump = Dcmdump(file, &code);
    EXPECT_EQ(code, 0) << dump;
    if (name.rfind("SP.", 0) == 0) {
      ++storedPrints;
      EXPECT_NE(dump.find("(2000,0050) LO [STORED]"), std::string::npos) << dump;
      EXPECT_NE(dump.find("(2010,0010) ST [STANDARD\\2,2]"), std::string::npos) << dump;
    } else if (name.rfind("HG.", 0) == 0) {
      ++hardcopies;
      EXPECT_NE(dump.find("(0028,0101) US 12"), std::string::npos) << dump;
    }
  }
  EXPECT_EQ(storedPrints, 1);
  // Three images set; the fourth image box of the 2,2 film stays empty.
  EXPECT_EQ(hardcopies, 3);
}
