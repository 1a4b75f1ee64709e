// The storage SCU operations against DCMTK storescp: a CT image in implicit VR,
// a JPEG baseline image made by img2dcm, and a C-ECHO; the stored files are
// checked with dcmdump.
#include <gtest/gtest.h>

#include <filesystem>

#include "dicom/buf_data.h"
#include "dicom/dcm_obj.h"
#include "dicom/dimse_command.h"
#include "dicom/transfer_syntax.h"
#include "net/dimse_messages.h"
#include "net/pdu_service.h"
#include "net/scu_operations.h"
#include "net_fixtures.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

constexpr const char *kCTImageStorage = "1.2.840.10008.5.1.4.1.1.2";

class StoreSCPTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char *tool : {"storescp", "dcmdump", "img2dcm", "dcmconv", "convert"})
      if (FindProgram(tool).empty())
        GTEST_SKIP() << tool << " is not installed";
    port = FreePort();
    std::filesystem::create_directory(dir.path() / "in");
    storescp = std::make_unique<ChildProcess>(
        std::vector<std::string>{"storescp", "+xa", "-od", (dir.path() / "in").string(), "-fe",
                                 ".dcm", std::to_string(port)});
    ASSERT_TRUE(WaitForPort(port));
  }

  // The one file storescp wrote, as dcmdump lists it.
  std::string StoredDump() {
    for (int i = 0; i < 50; ++i) {
      for (const auto &entry : std::filesystem::directory_iterator(dir.path() / "in")) {
        std::string output;
        if (RunCommand({"dcmdump", "+L", entry.path().string()}, &output) == 0)
          return output;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
  }

  TempDir dir;
  int port = 0;
  std::unique_ptr<ChildProcess> storescp;
};

DcmObj SmallCT() {
  DcmObj ct;
  ct.AddString(0x0008, 0x0016, kCTImageStorage);
  ct.AddString(0x0008, 0x0018, "2.25.323794931697563438681544.77.1");
  ct.AddString(0x0008, 0x0060, "CT");
  ct.AddString(0x0010, 0x0010, "Test^Patient");
  ct.AddString(0x0020, 0x000D, "2.25.323794931697563438681544.77.2");
  ct.AddString(0x0020, 0x000E, "2.25.323794931697563438681544.77.3");
  ct.AddUShort(0x0028, 0x0002, 1);
  ct.AddString(0x0028, 0x0004, "MONOCHROME2");
  ct.AddUShort(0x0028, 0x0010, 16);
  ct.AddUShort(0x0028, 0x0011, 16);
  ct.AddUShort(0x0028, 0x0100, 16);
  ct.AddUShort(0x0028, 0x0101, 12);
  ct.AddUShort(0x0028, 0x0102, 11);
  ct.AddUShort(0x0028, 0x0103, 0);
  std::vector<uint16_t> pixels(256);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint16_t>(i * 16);
  ct.AddBytes(0x7FE0, 0x0010, 512, pixels.data());
  return ct;
}

} // namespace

TEST_F(StoreSCPTest, StoresACTImage) {
  PDU_Service pdu;
  ASSERT_TRUE(OpenAssociation(pdu, "CORVANEL", "STORESCP", "127.0.0.1", std::to_string(port),
                              kCTImageStorage, ts::ImplicitLittleEndian, "", 30));
  DcmObj ct = SmallCT();
  EXPECT_EQ(WriteStoreRQ(pdu, ct, kCTImageStorage), 0);
  EXPECT_EQ(CStore::ReadRSP(pdu), 0);
  pdu.Release();
  std::string dump = StoredDump();
  EXPECT_NE(dump.find("(0008,0018) UI [2.25.323794931697563438681544.77.1]"), std::string::npos)
      << dump;
  EXPECT_NE(dump.find("(0008,0060) CS [CT]"), std::string::npos);
  EXPECT_NE(dump.find("(7fe0,0010) OW 0000\\0010\\0020"), std::string::npos) << dump;
  EXPECT_NE(dump.find("# 512, 1 PixelData"), std::string::npos);
}

TEST_F(StoreSCPTest, StoresAJPEGBaselineImage) {
  std::string jpeg = (dir.path() / "film.jpg").string();
  std::string file = (dir.path() / "film.dcm").string();
  std::string dataSetFile = (dir.path() / "film.raw").string();
  ASSERT_EQ(RunCommand({"convert", "-size", "32x24", "gradient:", "-quality", "90", jpeg}), 0);
  ASSERT_EQ(RunCommand({"img2dcm", jpeg, file}), 0);
  ASSERT_EQ(RunCommand({"dcmconv", "-F", file, dataSetFile}), 0); // data set only
  std::string bytes = ReadFile(dataSetFile);
  DcmObj image;
  image.TransferSyntax = ts::JPEGBaseline;
  image.Explicit = true;
  BufData buf(false);
  buf.Assign(bytes.data(), bytes.size());
  ASSERT_TRUE(buf.ReadObj(image));
  std::string sopClass = image.GetString(0x0008, 0x0016);
  std::string instance = image.GetString(0x0008, 0x0018);

  PDU_Service pdu;
  ASSERT_TRUE(OpenAssociation(pdu, "CORVANEL", "STORESCP", "127.0.0.1", std::to_string(port),
                              sopClass, ts::JPEGBaseline, ts::JPEGBaseline, 30));
  std::string negotiated;
  ASSERT_TRUE(pdu.GetTransferSyntaxUID(pdu.pdata.PresentationContextID, negotiated));
  EXPECT_EQ(negotiated, ts::JPEGBaseline);
  EXPECT_EQ(WriteStoreRQ(pdu, image, sopClass), 0);
  EXPECT_EQ(CStore::ReadRSP(pdu), 0);
  pdu.Release();
  std::string dump = StoredDump();
  EXPECT_NE(dump.find("TransferSyntaxUID"), std::string::npos) << dump;
  EXPECT_NE(dump.find("=JPEGBaseline"), std::string::npos) << dump;
  EXPECT_NE(dump.find(instance), std::string::npos);
  // The stored pixel data equal the ones sent: dcmdump of both files agrees.
  std::string original;
  RunCommand({"dcmdump", "+L", file}, &original);
  auto pixelPart = [](const std::string &text) { return text.substr(text.find("(7fe0,0010)")); };
  EXPECT_EQ(pixelPart(dump), pixelPart(original));
}

TEST_F(StoreSCPTest, EchoThroughTheToolkit) {
  PDU_Service pdu;
  ASSERT_TRUE(OpenAssociation(pdu, "CORVANEL", "STORESCP", "127.0.0.1", std::to_string(port),
                              "1.2.840.10008.1.1", ts::ImplicitLittleEndian, "", 30));
  for (uint16_t id = 1; id <= 3; ++id) {
    CommandFields fields;
    fields.AffectedSOPClassUID = "1.2.840.10008.1.1";
    fields.CommandField = dimse::C_ECHO_RQ;
    fields.MessageID = id;
    DcmObj request, response;
    BuildCommandSet(fields, request);
    ASSERT_TRUE(pdu.Write(request, 1));
    ASSERT_TRUE(pdu.Read(response));
    EXPECT_EQ(response.GetUShort(0x0000, 0x0100), dimse::C_ECHO_RSP);
    EXPECT_EQ(response.GetUShort(0x0000, 0x0120), id);
    EXPECT_EQ(response.GetUShort(0x0000, 0x0900), 0);
  }
  pdu.Release();
}
