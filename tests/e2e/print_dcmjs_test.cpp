// Print jobs from dcmjs-dimse against corvanel-server: films as JPEG and PDF
// files, Stored Print objects for the destination DICOM, the statuses and log
// lines of failed requests, calibration films and concurrent associations.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "frame/date_time.h"
#include "print_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string kSession =
    R"({"op":"createSession","attrs":{"NumberOfCopies":"1","FilmSessionLabel":"CHEST"}})";

std::string FilmBoxStep(const std::string &format) {
  return R"({"op":"createFilmBox","attrs":{"ImageDisplayFormat":"STANDARD\\)" + format +
         R"(","FilmSizeID":"14INX17IN","FilmOrientation":"PORTRAIT"}})";
}

std::string SetImageStep(int filmBox, int box, const std::string &image,
                         const std::string &polarity = "") {
  return R"({"op":"setImage","filmBox":)" + std::to_string(filmBox) + R"(,"box":)" +
         std::to_string(box) + R"(,"image":)" + image +
         (polarity.empty() ? "" : R"(,"polarity":")" + polarity + "\"") + "}";
}

std::string Job(const std::string &meta, const std::vector<std::string> &steps) {
  std::string job = R"({"meta":")" + meta + R"(","steps":[)";
  for (size_t i = 0; i < steps.size(); ++i)
    job += (i ? "," : "") + steps[i];
  return job + "]}";
}

// One film box with one image, printed by N-ACTION on the film box, then deleted.
std::string SingleFilmJob(const std::string &meta, const std::string &image,
                          const std::string &polarity = "") {
  return Job(meta, {kSession, FilmBoxStep("1,1"), SetImageStep(0, 0, image, polarity),
                    R"({"op":"printFilmBox","filmBox":0})", R"({"op":"deleteFilmBox","filmBox":0})",
                    R"({"op":"deleteSession"})"});
}

// The test pattern of print_job.js: rows x columns, the top half 0, the bottom half the maximum.
std::vector<uint8_t> PatternBytes(int rows, int columns, int bits) {
  const int bytesPerSample = bits > 8 ? 2 : 1;
  std::vector<uint8_t> bytes;
  const unsigned max = (1u << bits) - 1;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < columns; ++x) {
      const unsigned value = y < rows / 2 ? 0 : max;
      bytes.push_back(value & 0xFF);
      if (bytesPerSample == 2)
        bytes.push_back(value >> 8);
    }
  return bytes;
}

// The one file in files that is not in before.
fs::path NewFile(const std::vector<fs::path> &before, const std::vector<fs::path> &files) {
  for (const auto &file : files)
    if (std::find(before.begin(), before.end(), file) == before.end())
      return file;
  return {};
}

void ExpectAllSucceeded(const PrintJobResult &result, size_t steps) {
  ASSERT_EQ(result.statuses.size(), steps) << result.output;
  for (size_t i = 0; i < steps; ++i)
    EXPECT_EQ(result.statuses[i], 0) << "step " << i << "\n" << result.output;
}

} // namespace

TEST(PrintDcmjs, FilmsShowTheTestPatternInJpegAndPdfFiles) {
  struct Case {
    const char *name;
    const char *called; // JPG or PDF
    const char *meta;
    std::string image;
    std::string polarity;
    bool darkTop; // grey: the top half of the image is dark on the film
  };
  const std::vector<Case> cases = {
      {"8-bit", "JPG", "gray", R"({"rows":256,"columns":256,"bits":8})", "", true},
      {"12-bit into PDF", "PDF", "gray", R"({"rows":256,"columns":256,"bits":12})", "", true},
      {"16-bit", "JPG", "gray", R"({"rows":256,"columns":256,"bits":16})", "", true},
      {"MONOCHROME1", "JPG", "gray",
       R"({"rows":256,"columns":256,"bits":8,"photometric":"MONOCHROME1"})", "", false},
      {"REVERSE", "PDF", "gray", R"({"rows":256,"columns":256,"bits":8})", "REVERSE", false},
      {"RGB", "JPG", "color", R"({"rows":256,"columns":256,"bits":8,"photometric":"RGB"})", "",
       true},
      {"planar RGB into PDF", "PDF", "color",
       R"({"rows":256,"columns":256,"bits":8,"photometric":"RGB","planar":true})", "", true},
  };
  PrintServer server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder =
        std::string("filmbox/") + (c.called == std::string("JPG") ? "JPEG" : "PDF");
    const auto before = server.Files(folder);
    const PrintJobResult result =
        RunPrintJob(server.port, c.called, SingleFilmJob(c.meta, c.image, c.polarity));
    ExpectAllSucceeded(result, 6);
    const fs::path file = NewFile(before, server.Files(folder));
    ASSERT_FALSE(file.empty()) << server.Log();
    EXPECT_NE(file.filename().string().find("_14INX17IN_CHEST_"), std::string::npos) << file;
    Film film;
    std::string error;
    ASSERT_TRUE(DecodeFilm(file, film, error)) << error;
    // One 799 x 800 cell; the square image fills its width, centred.
    ASSERT_EQ(film.width, 799);
    ASSERT_EQ(film.height, 800);
    const bool color = c.meta == std::string("color");
    ASSERT_EQ(film.components, color ? 3 : 1);
    if (color) {
      EXPECT_GT(film.At(399, 200, 0), 200);
      EXPECT_LT(film.At(399, 200, 2), 60);
      EXPECT_LT(film.At(399, 600, 0), 60);
      EXPECT_GT(film.At(399, 600, 2), 200);
    } else {
      const uint8_t top = film.At(399, 200), bottom = film.At(399, 600);
      EXPECT_EQ(top < 40, c.darkTop) << int(top);
      EXPECT_EQ(bottom > 215, c.darkTop) << int(bottom);
      EXPECT_EQ(top > 215, !c.darkTop) << int(top);
    }
  }
  EXPECT_EQ(server.CountInLog("INFO, Successful Print Film Box"), int(cases.size()));
}

TEST(PrintDcmjs, TwoFilmBoxesBecomeStoredPrintsThatReferenceTheirHardcopyImages) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  const std::string image8 = R"({"rows":64,"columns":64,"bits":8})";
  const std::string image12 = R"({"rows":32,"columns":48,"bits":12})";
  const PrintJobResult result = RunPrintJob(
      server.port, "STORE",
      Job("gray", {kSession, FilmBoxStep("1,1"), FilmBoxStep("1,2"), SetImageStep(0, 0, image8),
                   SetImageStep(1, 0, image12), SetImageStep(1, 1, image8),
                   R"({"op":"printSession"})", R"({"op":"deleteSession"})"}));
  ExpectAllSucceeded(result, 8);
  ASSERT_EQ(result.filmBoxes.size(), 2u);
  ASSERT_EQ(result.imageBoxes.size(), 2u);
  ASSERT_EQ(result.imageBoxes[1].size(), 2u);

  const auto sessions = server.Folders("imagebox");
  ASSERT_EQ(sessions.size(), 1u) << server.Log();
  const fs::path folder = sessions.front();
  const std::string sessionUID = folder.filename().string();
  ASSERT_TRUE(WaitForFileText(folder / "finalized", "STORE")) << server.Log();
  EXPECT_EQ(ReadFile(folder / "finalized"), "STORE\r\n" + FormatDateTime("yyyymmdd") + "\r\n");
  EXPECT_EQ(server.Files(fs::relative(folder, server.Home()).string()).size(), 6u)
      << "2 SP, 3 HG and the marker, no temporary files";

  for (size_t f = 0; f < 2; ++f) {
    SCOPED_TRACE(f);
    int code = -1;
    const std::string sp = Dcmdump(folder / ("SP." + result.filmBoxes[f]), &code);
    ASSERT_EQ(code, 0) << sp;
    EXPECT_EQ(sp.find("E: "), std::string::npos) << sp;
    // One SOP instance UID in meta header and data set: the film box UID.
    EXPECT_NE(sp.find("(0002,0003) UI [" + result.filmBoxes[f] + "]"), std::string::npos) << sp;
    EXPECT_NE(sp.find("(0008,0018) UI [" + result.filmBoxes[f] + "]"), std::string::npos) << sp;
    EXPECT_NE(sp.find("(0020,000d) UI [" + sessionUID + "]"), std::string::npos) << sp;
    EXPECT_NE(sp.find("(0020,000e) UI [" + sessionUID + ".10]"), std::string::npos) << sp;
    EXPECT_NE(sp.find("(2010,0010) ST [STANDARD\\1," + std::to_string(f + 1) + "]"),
              std::string::npos)
        << sp;
    EXPECT_EQ(sp.find("(2010,0510)"), std::string::npos) << "no sequences in the content";
    EXPECT_NE(sp.find("(2100,0140) AE [STORE]"), std::string::npos) << sp;
    EXPECT_NE(sp.find("(2000,0050) LO [CHEST]"), std::string::npos) << sp;
    for (const std::string &imageBox : result.imageBoxes[f]) {
      EXPECT_NE(sp.find("(0008,1155) UI [" + imageBox + "]"), std::string::npos) << sp;
      const fs::path hg = folder / ("HG." + imageBox);
      const std::string dump = Dcmdump(hg, &code);
      ASSERT_EQ(code, 0) << dump;
      EXPECT_NE(dump.find("(0008,0016) UI =RETIRED_HardcopyGrayscaleImageStorage"),
                std::string::npos)
          << dump;
      EXPECT_NE(dump.find("(0020,000d) UI [" + sessionUID + "]"), std::string::npos);
    }
  }
  // The pixel data as sent, with the description in request order.
  EXPECT_EQ(PixelDataOf(folder / ("HG." + result.imageBoxes[0][0])), PatternBytes(64, 64, 8));
  const fs::path hg12 = folder / ("HG." + result.imageBoxes[1][0]);
  EXPECT_EQ(PixelDataOf(hg12), PatternBytes(32, 48, 12));
  const std::string dump12 = Dcmdump(hg12);
  size_t at = 0;
  for (const char *tag : {"(0028,0002) US 1", "(0028,0004) CS [MONOCHROME2]", "(0028,0010) US 32",
                          "(0028,0011) US 48", "(0028,0100) US 16", "(0028,0101) US 12",
                          "(0028,0102) US 11", "(0028,0103) US 0", "(7fe0,0010) OW"}) {
    at = dump12.find(tag, at);
    EXPECT_NE(at, std::string::npos) << tag << "\n" << dump12;
  }
}

TEST(PrintDcmjs, FailedRequestsGetDefiniteStatusesAndLogLines) {
  struct Case {
    const char *name;
    std::vector<std::string> steps;
    std::vector<int> statuses;
    std::vector<std::string> logLines;
  };
  const std::vector<Case> cases = {
      {"N-SET of an unknown image box",
       {kSession, FilmBoxStep("1,1"), R"({"op":"setImageUID","uid":"1.2.3.4.5"})"},
       {0, 0, 0x0112},
       {"ERROR: Set Image Box: 274", "ERROR, FilmBoxes->Count=1, SOPInstanceUID=1.2.3.4.5"}},
      {"N-ACTION before any film session",
       {R"({"op":"printSession"})"},
       {0x0112},
       {"ERROR, There are no printers defined!"}},
      {"N-ACTION of an unknown film box",
       {kSession, R"({"op":"printFilmBox","uid":"1.2.3.9"})"},
       {0, 0x0112},
       {"ERROR: Print Film Box: 274"}},
      {"N-ACTION of another film session",
       {kSession, R"({"op":"printSession","uid":"1.2.3.8"})"},
       {0, 0x0112},
       {"ERROR: Print Film Session: 274"}},
      {"N-SET of the film session",
       {kSession, R"({"op":"setSession"})"},
       {0, 0},
       {"WARNING, Film Session SET not supported"}},
      {"N-SET, N-ACTION and N-DELETE of a class not handled",
       {kSession,
        R"({"op":"raw","service":"set","class":"1.2.840.10008.5.1.1.16","uid":"1.2.840.10008.5.1.1.17"})",
        R"({"op":"raw","service":"action","class":"1.2.840.10008.5.1.1.16","uid":"1.2.840.10008.5.1.1.17"})",
        R"({"op":"raw","service":"delete","class":"1.2.840.10008.5.1.1.16","uid":"1.2.840.10008.5.1.1.17"})"},
       {0, 0x0118, 0x0118, 0x0118},
       {}},
      {"N-DELETE of an unknown film box",
       {kSession, R"({"op":"deleteFilmBox","uid":"1.2.3.7"})"},
       {0, 0x0112},
       {"ERROR, Delete Film Box: 274"}},
  };
  for (const char *called : {"JPG", "STORE"}) {
    PrintServer server;
    ASSERT_TRUE(server.WaitListening()) << server.Log();
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(called) + ": " + c.name);
      const PrintJobResult result = RunPrintJob(server.port, called, Job("gray", c.steps));
      EXPECT_EQ(result.statuses, c.statuses) << result.output << server.Log();
      for (const std::string &line : c.logLines)
        EXPECT_TRUE(server.WaitForLog(line)) << line << "\n" << server.Log();
    }
    EXPECT_TRUE(server.Files("filmbox/JPEG").empty());
    EXPECT_TRUE(server.Folders("imagebox").empty()) << "nothing was stored";
  }
}

TEST(PrintDcmjs, CalledTitleWithoutRuleAndNoDefaultRuleEndsTheAssociation) {
  PrintServer server({"PDF|PDF|0|FALSE|9|10|10|0|0|0|0\r\n", "AETIndex=-1\n"});
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  const PrintJobResult result = RunPrintJob(
      server.port, "NOBODY", R"({"meta":"gray","pduTimeout":3000,"steps":[)" + kSession + "]}");
  EXPECT_EQ(result.statuses, std::vector<int>{-1}) << result.output;
  EXPECT_TRUE(server.WaitForLog("ERROR, No printing rules defined")) << server.Log();
  EXPECT_NE(server.Log().find("INFO, AET = NOBODY, Printer Name = \n"), std::string::npos);
  // The server goes on serving.
  const PrintJobResult next = RunPrintJob(server.port, "PDF", Job("gray", {kSession}));
  EXPECT_EQ(next.statuses, std::vector<int>{0}) << next.output;
}

TEST(PrintDcmjs, CalibrationModePrintsTheCalibrationFilm) {
  struct Case {
    const char *name;
    const char *settings;
    const char *called;
  };
  for (const Case &c : {Case{"configured", "Calibration=1\n", "PDF"},
                        Case{"called CALIBRATION", "", "CALIBRATION"}}) {
    SCOPED_TRACE(c.name);
    PrintServer server({kThreeRules, c.settings});
    ASSERT_TRUE(server.WaitListening()) << server.Log();
    const PrintJobResult result = RunPrintJob(
        server.port, c.called,
        Job("gray", {kSession, FilmBoxStep("2,2"), R"({"op":"printFilmBox","filmBox":0})"}));
    ExpectAllSucceeded(result, 3);
    ASSERT_EQ(result.imageBoxes.size(), 1u);
    EXPECT_EQ(result.imageBoxes[0].size(), 1u) << "a calibration film has one image box";
    const auto files = server.Files("filmbox/PDF");
    ASSERT_EQ(files.size(), 1u) << server.Log();
    Film film;
    std::string error;
    ASSERT_TRUE(DecodeFilm(files.front(), film, error)) << error;
    EXPECT_EQ(film.width, 3 * 799);
    EXPECT_EQ(film.height, 3 * 800);
  }
}

TEST(PrintDcmjs, ConcurrentAssociationsToOneRuleWriteDistinctFiles) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  const std::string job =
      Job("gray", {kSession, FilmBoxStep("1,1"),
                   SetImageStep(0, 0, R"({"rows":128,"columns":128,"bits":12})"),
                   R"({"op":"printSession"})", R"({"op":"deleteSession"})"});
  for (const char *called : {"STORE", "PDF"}) {
    SCOPED_TRACE(called);
    PrintJobResult results[2];
    std::thread first([&] { results[0] = RunPrintJob(server.port, called, job); });
    results[1] = RunPrintJob(server.port, called, job);
    first.join();
    for (const auto &result : results)
      ExpectAllSucceeded(result, 5);
  }
  // Two sessions within the same minute: two session folders, each complete.
  const auto sessions = server.Folders("imagebox");
  ASSERT_EQ(sessions.size(), 2u) << server.Log();
  for (const auto &folder : sessions) {
    EXPECT_TRUE(WaitForFileText(folder / "finalized", "STORE"));
    EXPECT_EQ(server.Files(fs::relative(folder, server.Home()).string()).size(), 3u);
  }
  EXPECT_EQ(server.Files("filmbox/PDF").size(), 2u);
}

TEST(PrintDcmjs, StoredPrintThatCannotBeWrittenAnswersFailure) {
  TempDir elsewhere;
  WriteFile(elsewhere.path() / "blocker", "a file where the session folder's parent belongs");
  PrintServer server({kThreeRules, "ImageDir=" + (elsewhere.path() / "blocker/").string() + "\n"});
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  const PrintJobResult result =
      RunPrintJob(server.port, "STORE",
                  Job("gray", {kSession, FilmBoxStep("1,1"),
                               SetImageStep(0, 0, R"({"rows":16,"columns":16,"bits":8})"),
                               R"({"op":"printFilmBox","filmBox":0})"}));
  EXPECT_EQ(result.statuses, (std::vector<int>{0, 0, 0, 0x0112})) << result.output;
  EXPECT_TRUE(server.WaitForLog("ERROR, MultiSCP, Saving to Folder DICOM, ")) << server.Log();
  EXPECT_TRUE(server.WaitForLog("ERROR: Print Film Box: 274"));
}
