// Films stored on a real PACS (DCMTK's storescp) as Secondary Capture in JPEG
// baseline or as Encapsulated PDF.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <set>
#include <string>

#include "archive/send_to_pacs.h"
#include "dicom/log_capture.h"
#include "frame/configuration.h"
#include "frame/program_folder.h"
#include "pacs_test_support.h"
#include "print/film_box.h"
#include "render/film_file.h"
#include "render/render_fixture.h"

using namespace testing_support;

namespace {

constexpr int kJpeg = 1, kPdf = 0;

struct Film {
  const char *name;
  bool colour;
  int format;
  const char *sopClass;
  const char *transferSyntax;
};

class SendToPACSTest : public ::testing::Test {
protected:
  void SetUp() override { UsePacs(pacs.port()); }
  TempDir films;
  StoreSCP pacs;
  LogCapture log;
};

TEST_F(SendToPACSTest, StoresTheFilmWithTheTableValues) {
  const Film cases[] = {
      {"grey.jpg", false, kJpeg, "1.2.840.10008.5.1.4.1.1.7", "1.2.840.10008.1.2.4.50"},
      {"colour.jpg", true, kJpeg, "1.2.840.10008.5.1.4.1.1.7", "1.2.840.10008.1.2.4.50"},
      {"grey-pdf.jpg", false, kPdf, "1.2.840.10008.5.1.4.1.1.104.1", "1.2.840.10008.1.2.1"},
      {"colour-pdf.jpg", true, kPdf, "1.2.840.10008.5.1.4.1.1.104.1", "1.2.840.10008.1.2.1"},
  };
  std::set<std::string> seen;
  for (const Film &film : cases) {
    SCOPED_TRACE(film.name);
    const std::string path = WriteFilmJpeg(films.folder() + film.name, 65, 47, film.colour);
    const std::string before = ReadFile(path);
    ASSERT_TRUE(SendToPACS(path, "WARD3", "14INX17IN", film.format));
    EXPECT_EQ(ReadFile(path), before) << "the JPEG file stays as it was";
    const auto files = pacs.Files();
    ASSERT_EQ(files.size(), seen.size() + 1);
    std::string file;
    for (const auto &f : files)
      if (seen.insert(f).second)
        file = f;
    const std::string dump = pacs.Dump(file);

    EXPECT_EQ(DumpValue(dump, "SOPClassUID"), film.sopClass);
    EXPECT_EQ(DumpValue(dump, "TransferSyntaxUID"), film.transferSyntax);
    EXPECT_EQ(DumpValue(dump, "PatientName"), "WARD3");
    EXPECT_EQ(DumpValue(dump, "PatientID"), "For Assignment");
    EXPECT_EQ(DumpValue(dump, "AccessionNumber"), "14INX17IN");
    const std::string studyUID = DumpValue(dump, "StudyInstanceUID");
    const std::string seriesUID = DumpValue(dump, "SeriesInstanceUID");
    const std::string instanceUID = DumpValue(dump, "SOPInstanceUID");
    EXPECT_NE(studyUID, seriesUID);
    EXPECT_LE(instanceUID.size(), 64u);
    EXPECT_LE(seriesUID.size(), 64u);
    EXPECT_EQ(instanceUID.rfind("2.25.323794931697563438681544.", 0), 0u);
    if (film.format == kJpeg) {
      EXPECT_TRUE(log.Contains("INFO, SendToPACS, sent JPEG to STORESCP succesfully, " + studyUID));
      EXPECT_EQ(DumpValue(dump, "Modality"), "SR");
      EXPECT_EQ(DumpValue(dump, "StudyDescription"), "JPEG From Corvanel");
      EXPECT_EQ(DumpValue(dump, "SeriesNumber"), "999");
      EXPECT_EQ(DumpValue(dump, "InstanceNumber"), "1");
      EXPECT_EQ(instanceUID, seriesUID + ".1");
      EXPECT_EQ(DumpValue(dump, "Rows"), "47");
      EXPECT_EQ(DumpValue(dump, "Columns"), "65");
      EXPECT_EQ(DumpValue(dump, "BitsStored"), "8");
      // The encoder writes 4:4:4 YCbCr for colour films.
      EXPECT_EQ(DumpValue(dump, "SamplesPerPixel"), film.colour ? "3" : "1");
      EXPECT_EQ(DumpValue(dump, "PhotometricInterpretation"),
                film.colour ? "YBR_FULL" : "MONOCHROME2");
      EXPECT_EQ(DumpValue(dump, "PlanarConfiguration"), film.colour ? "0" : "");
      // One fragment after the empty offset table: the file, padded to even length.
      const std::string fragment =
          "(fffe,e000) pi (no value available)                     #   0, 1 Item";
      EXPECT_NE(dump.find(fragment), std::string::npos) << dump;
      const size_t even = (before.size() + 1) / 2 * 2;
      EXPECT_NE(dump.find("# " + std::to_string(even) + ", 1 Item"), std::string::npos) << dump;
    } else {
      EXPECT_TRUE(log.Contains("INFO, SendToPACS, sent PDF to STORESCP succesfully, " + studyUID));
      EXPECT_EQ(DumpValue(dump, "Modality"), "OT");
      EXPECT_EQ(DumpValue(dump, "ConversionType"), "WSD");
      EXPECT_EQ(DumpValue(dump, "StudyDescription"), "PDF From Corvanel");
      EXPECT_EQ(DumpValue(dump, "SeriesDescription"), "PDF Print");
      EXPECT_EQ(DumpValue(dump, "SeriesNumber"), "200");
      EXPECT_EQ(DumpValue(dump, "SpecificCharacterSet"), "ISO_IR 100");
      EXPECT_EQ(DumpValue(dump, "DocumentTitle"), "14INX17IN");
      EXPECT_EQ(DumpValue(dump, "MIMETypeOfEncapsulatedDocument"), "application/pdf");
      EXPECT_EQ(seriesUID.substr(seriesUID.size() - 4), ".200");
      const std::string pdf = films.folder() + film.name + ".pdf";
      std::string output;
      ASSERT_EQ(RunCommand({"dcm2pdf", file, pdf}, &output), 0) << output;
      EXPECT_EQ(RunCommand({"qpdf", "--check", pdf}, &output), 0) << output;
      const std::string content = ReadFile(pdf);
      EXPECT_NE(content.find(film.colour ? "/DeviceRGB" : "/DeviceGray"), std::string::npos);
      EXPECT_NE(content.find("/MediaBox [ 0 0 65 47 ]"), std::string::npos);
    }
  }
  // Every C-STORE is the first on its own association: message ID 3.
  const std::string scpLog = pacs.Log();
  size_t requests = 0;
  const std::string first = "Received Store Request (MsgID 3,";
  for (size_t at = scpLog.find(first); at != std::string::npos; at = scpLog.find(first, at + 1))
    ++requests;
  EXPECT_EQ(requests, 4u) << scpLog;
}

TEST_F(SendToPACSTest, FilmsWithinOneMinuteArriveAsDistinctObjects) {
  const std::string path = WriteFilmJpeg(films.folder() + "film.jpg", 32, 32, false);
  for (int format : {kJpeg, kJpeg, kPdf, kPdf})
    ASSERT_TRUE(SendToPACS(path, "WARD3", "14INX17IN", format));
  const auto files = pacs.Files();
  ASSERT_EQ(files.size(), 4u) << "a later film overwrote an earlier one";
  std::set<std::string> uids;
  for (const auto &file : files) {
    const std::string dump = pacs.Dump(file);
    uids.insert(DumpValue(dump, "SOPInstanceUID"));
    uids.insert(DumpValue(dump, "SeriesInstanceUID"));
    uids.insert(DumpValue(dump, "StudyInstanceUID"));
  }
  EXPECT_EQ(uids.size(), 12u);
}

TEST_F(SendToPACSTest, MissingFileOpensNoAssociation) {
  const std::string path = films.folder() + "gone.jpg";
  for (int format : {kJpeg, kPdf}) {
    EXPECT_FALSE(SendToPACS(path, "WARD3", "14INX17IN", format));
    EXPECT_TRUE(log.Contains("ERROR, SendToPACS, " + path + " doesn't exists"));
  }
  WriteFile(films.folder() + "not-a.jpg", "plain text, no JPEG");
  EXPECT_FALSE(SendToPACS(films.folder() + "not-a.jpg", "WARD3", "14INX17IN", kJpeg));
  EXPECT_TRUE(
      log.Contains("ERROR, SendToPACS, cannot read the JPEG " + films.folder() + "not-a.jpg"));
  // storescp reports the readiness probe's bare connection as "Association
  // Received" too, whenever its buffered output arrives: at most that one.
  const std::string scpLog = pacs.Log();
  size_t received = 0;
  for (size_t at = scpLog.find("Association Received"); at != std::string::npos;
       at = scpLog.find("Association Received", at + 1))
    ++received;
  EXPECT_LE(received, 1u) << scpLog;
  EXPECT_EQ(scpLog.find("Received Store Request"), std::string::npos) << scpLog;
  EXPECT_TRUE(pacs.Files().empty());
}

TEST_F(SendToPACSTest, NoPACSListeningFailsWithOpenAssocLines) {
  UsePacs(FreePort());
  const std::string path = WriteFilmJpeg(films.folder() + "film.jpg", 16, 16, true);
  EXPECT_FALSE(SendToPACS(path, "WARD3", "14INX17IN", kJpeg));
  EXPECT_TRUE(log.Contains("ERROR, DCMStudy::SentJPEG, OpenAssoc failed"));
  EXPECT_TRUE(log.Contains("ERROR, SendToPACS, sending JPEG to STORESCP, 2.25."));
  EXPECT_FALSE(SendToPACS(path, "WARD3", "14INX17IN", kPdf));
  EXPECT_TRUE(log.Contains("ERROR, SendSCU, OpenAssoc failed"));
  EXPECT_TRUE(log.Contains("ERROR, SendToPACS, sending PDF to STORESCP, 2.25."));
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(SendToPACSRefused, RejectionLogsTheOpenAssocFailure) {
  TempDir films;
  StoreSCP pacs({"--refuse"});
  UsePacs(pacs.port());
  LogCapture log;
  const std::string path = WriteFilmJpeg(films.folder() + "film.jpg", 16, 16, false);
  EXPECT_FALSE(SendToPACS(path, "WARD3", "14INX17IN", kJpeg));
  EXPECT_FALSE(SendToPACS(path, "WARD3", "14INX17IN", kPdf));
  EXPECT_TRUE(log.Contains("ERROR, Association Rejected..."));
  EXPECT_TRUE(log.Contains("ERROR, DCMStudy::SentJPEG, OpenAssoc failed"));
  EXPECT_TRUE(log.Contains("ERROR, SendSCU, OpenAssoc failed"));
  EXPECT_TRUE(pacs.Files().empty());
}

TEST(SendToPACSImplicitOnly, JpegIsRefusedAndPdfGoesImplicit) {
  TempDir films;
  StoreSCP pacs({"+xi"});
  UsePacs(pacs.port());
  LogCapture log;
  const std::string path = WriteFilmJpeg(films.folder() + "film.jpg", 16, 16, true);
  // JPEG bytes on an uncompressed context would be read as raw pixels.
  EXPECT_FALSE(SendToPACS(path, "WARD3", "14INX17IN", kJpeg));
  EXPECT_TRUE(log.Contains("ERROR, DCMStudy::SentJPEG, PACS accepted transfer syntax "
                           "1.2.840.10008.1.2 instead of 1.2.840.10008.1.2.4.50, object not sent"));
  EXPECT_TRUE(log.Contains("ERROR, SendToPACS, sending JPEG to STORESCP"));
  EXPECT_TRUE(pacs.Files().empty());
  // The PDF object is re-encoded in implicit VR.
  ASSERT_TRUE(SendToPACS(path, "WARD3", "14INX17IN", kPdf));
  ASSERT_EQ(pacs.Files().size(), 1u);
  const std::string dump = pacs.Dump(pacs.Files()[0]);
  EXPECT_EQ(DumpValue(dump, "TransferSyntaxUID"), "1.2.840.10008.1.2");
  EXPECT_EQ(DumpValue(dump, "DocumentTitle"), "14INX17IN");
}

TEST(SaveFilmFileToPACS, WritesTheJpegAndStoresIt) {
  TempDir home, films;
  SetProgramFolder(home.folder());
  LogCapture log;
  FilmBox filmBox;
  filmBox.FilmSizeID = "8INX10IN";
  filmBox.FilmSessionLabel = "CHEST";
  const Raster raster = NewGreyRaster(40, 30, RGBColor{200, 200, 200});
  {
    StoreSCP pacs;
    UsePacs(pacs.port());
    ASSERT_TRUE(SaveFilmFile(filmBox, raster, "WARD3", "PACS", 7));
    ASSERT_EQ(pacs.Files().size(), 1u);
    const std::string dump = pacs.Dump(pacs.Files()[0]);
    EXPECT_EQ(DumpValue(dump, "PatientName"), "WARD3");
    EXPECT_EQ(DumpValue(dump, "AccessionNumber"), "8INX10IN");
    EXPECT_EQ(DumpValue(dump, "DocumentTitle"), "8INX10IN"); // PacsFormat 0 by default
  }
  // The PACS is gone: the film fails, and its JPEG stays in the folder.
  EXPECT_FALSE(SaveFilmFile(filmBox, raster, "WARD3", "PACS", 8));
  EXPECT_TRUE(log.Contains("ERROR, SendToPACS, sending PDF to STORESCP"));
  size_t jpegs = 0;
  for (const auto &entry : std::filesystem::directory_iterator(home.path() / "filmbox" / "PACS")) {
    EXPECT_EQ(entry.path().extension(), ".jpg");
    ++jpegs;
  }
  EXPECT_EQ(jpegs, 2u);
  SetProgramFolder("./");
}

// The output code's road for the destination "PACS": the film box is
// composed, written as a JPEG and sent; a failed send fails the print.
TEST(FilmBoxPrintToPACS, FailedSendIsAProcessingFailure) {
  TempDir home, config;
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1); // the print counter's folder
  SetProgramFolder(home.folder());
  render_test::LogCapture log;
  auto film = render_test::Film(1, 1, -1, 64);
  film->CallingAETitle = "WARD3";
  {
    StoreSCP pacs;
    UsePacs(pacs.port());
    EXPECT_EQ(film->Print("PACS"), 0) << log.All();
    ASSERT_EQ(pacs.Files().size(), 1u);
    EXPECT_EQ(DumpValue(pacs.Dump(pacs.Files()[0]), "PatientName"), "WARD3");
  }
  EXPECT_EQ(film->Print("PACS"), 531);
  EXPECT_TRUE(log.Has("ERROR, SendSCU, OpenAssoc failed"));
  SetProgramFolder("./");
}

} // namespace
