// The association handler of corvanel-server against real peers (DCMTK,
// dcmjs-dimse) and this system's own requestor: negotiation, the services it
// answers itself, the requests it does not serve, release and abort.
#include <gtest/gtest.h>

#include <thread>

#include "association_client.h"
#include "dicom/dcm_obj.h"
#include "dicom/dimse_command.h"
#include "dicom/make_uid.h"
#include "listener_server.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {
const std::string kImplicit = "1.2.840.10008.1.2";
const std::string kExplicit = "1.2.840.10008.1.2.1";
const std::string kVerification = "1.2.840.10008.1.1";
const std::string kPresentationLUT = "1.2.840.10008.5.1.1.23";

const PresentationContextAccept* AcceptFor(const PDU_Service& pdu, uint8_t id) {
  for (const auto& accept : pdu.assocAC.PresContextAccepts)
    if (accept->PresentationContextID == id)
      return accept.get();
  return nullptr;
}

// Reads until the server closes the connection; the seconds it took. received
// counts the bytes that came meanwhile.
double SecondsUntilClosed(Socket& socket, long* received = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  char scratch[512];
  socket.SetTimeout(15);
  long count = 0;
  for (long n; (n = socket.ReadBinary(scratch, sizeof scratch)) > 0;)
    count += n;
  if (received)
    *received = count;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

TEST(Association, NegotiatesImplicitLittleEndianOnlyForTheServedClasses) {
  struct Case {
    const char* name;
    bool presentationLUT;
    std::vector<ProposedContext> proposed;
    std::vector<int> results; // per context, in order
  };
  const std::vector<Case> cases = {
      {"explicit and implicit: implicit accepted", false,
       {{kVerification, {kExplicit, kImplicit}}}, {0}},
      {"Presentation LUT refused by default", false,
       {{kVerification, {kImplicit}}, {kPresentationLUT, {kImplicit}}}, {0, 4}},
      {"Presentation LUT accepted when configured", true,
       {{kVerification, {kImplicit}}, {kPresentationLUT, {kImplicit}}}, {0, 0}},
      {"print, storage and unknown classes", false,
       {{"1.2.840.10008.5.1.1.9", {kImplicit}},
        {"1.2.840.10008.5.1.4.1.1.2", {kImplicit}},
        {"1.2.840.10008.5.1.4.1.1.88.22", {kImplicit}},
        {"1.2.840.10008.5.1.4.31", {kImplicit}}},
       {0, 0, 0, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ServerUnderTest server({.presentationLUT = c.presentationLUT});
    ASSERT_TRUE(server.WaitListening()) << server.Log();
    PDU_Service pdu;
    ASSERT_TRUE(Associate(pdu, server.port, c.proposed));
    ASSERT_EQ(pdu.assocAC.PresContextAccepts.size(), c.results.size());
    for (size_t i = 0; i < c.results.size(); ++i) {
      const auto* accept = AcceptFor(pdu, static_cast<uint8_t>(1 + 2 * i));
      ASSERT_NE(accept, nullptr) << i;
      EXPECT_EQ(accept->Result, c.results[i]) << i;
      if (c.results[i] == 0)
        EXPECT_EQ(accept->TrnSyntax.Text, kImplicit) << i;
      else
        EXPECT_TRUE(server.WaitForLog("WARNING, Not Accepted Abstract Syntax: " +
                                      c.proposed[i].abstractSyntax));
    }
    EXPECT_EQ(pdu.assocAC.UserInfo.MaxLength.MaximumLength, 16384u);
    EXPECT_EQ(pdu.assocAC.UserInfo.ImpClass.Text, kImplementationClassUID);
    EXPECT_EQ(pdu.assocAC.UserInfo.ImpVersion.Text, "Veltrano");
    EXPECT_TRUE(Echo(pdu));
    pdu.Release();
  }
}

TEST(Association, ExplicitVROnlyFailsAndIsClosed) {
  ServerUnderTest server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  PDU_Service pdu;
  EXPECT_FALSE(Associate(pdu, server.port, {{kVerification, {kExplicit}}}));
  ASSERT_EQ(pdu.assocAC.PresContextAccepts.size(), 1u);
  EXPECT_EQ(pdu.assocAC.PresContextAccepts[0]->Result, 4);
  // The readiness probe's line and this association's.
  EXPECT_TRUE(server.WaitForCount("ERROR: Association Failed! ", 2)) << server.Log();
  EXPECT_EQ(server.Log().find("INFO, Associated with"), std::string::npos);
  // dcmjs-dimse restricted to explicit VR: the server closes at once, without
  // the delay that follows a served association.
  const int failed = server.CountInLog("ERROR: Association Failed! ");
  const auto start = std::chrono::steady_clock::now();
  std::string output;
  EXPECT_NE(RunCommand({"node", SourcePath("tests/e2e/scripts/echo_explicit_only.js"),
                        std::to_string(server.port)},
                       &output, 30s),
            0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
  EXPECT_NE(output.find("rejected"), std::string::npos) << output;
  EXPECT_TRUE(server.WaitForCount("ERROR: Association Failed! ", failed + 1));
  EXPECT_EQ(server.CountInLog("ERROR: Association Failed! "), failed + 1);
}

TEST(Association, StorescuOfACTImageIsAcknowledgedAndNotKept) {
  ServerUnderTest server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  const std::string image = "/usr/lib/python3/dist-packages/pydicom/data/test_files/CT_small.dcm";
  std::string output;
  EXPECT_EQ(RunDcmtk("storescu", {"-v"}, server.port, &output, {image}), 0) << output;
  EXPECT_NE(output.find("Received Store Response (Success)"), std::string::npos) << output;
  EXPECT_TRUE(server.WaitForLog("C-STORE"));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(server.Home())) {
    if (entry.is_regular_file()) {
      EXPECT_TRUE(entry.path().filename() == "corvanel.ini" ||
                  entry.path().parent_path().filename() == "logs")
          << entry.path();
    }
  }
}

TEST(Association, UnservedCommandGetsNoResponseAndTheConnectionClosesAfterFiveSeconds) {
  ServerUnderTest server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  // findscu proposes a query model, which is not served: the context is refused.
  std::string output;
  EXPECT_NE(RunDcmtk("findscu", {"-S", "-k", "QueryRetrieveLevel=STUDY"}, server.port, &output),
            0);
  EXPECT_NE(output.find("No Acceptable Presentation Contexts"), std::string::npos) << output;
  EXPECT_TRUE(server.WaitForLog("WARNING, Not Accepted Abstract Syntax: 1.2.840.10008.5.1.4.1.2.2.1"));
  // A C-FIND request on an accepted context: no response, no release, the
  // connection closed after the delay.
  PDU_Service pdu;
  ASSERT_TRUE(Associate(pdu, server.port, {{kVerification, {kImplicit}}}));
  CommandFields fields;
  fields.AffectedSOPClassUID = kVerification;
  fields.CommandField = 0x0020;
  fields.MessageID = 1;
  fields.Priority = 0;
  DcmObj command;
  BuildCommandSet(fields, command);
  ASSERT_TRUE(pdu.Write(command, 1));
  long received = -1;
  const double closed = SecondsUntilClosed(pdu.Link.dsocket, &received);
  EXPECT_TRUE(server.WaitForLog("WARNING, Service Not Implemented")) << server.Log();
  EXPECT_GT(closed, 4.5);
  EXPECT_LT(closed, 7.0);
  EXPECT_EQ(received, 0);
}

TEST(Association, ReleaseIsAnsweredAtOnceAndTheConnectionClosesFiveSecondsLater) {
  ServerUnderTest server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  PDU_Service pdu;
  ASSERT_TRUE(Associate(pdu, server.port, {{kVerification, {kImplicit}}}));
  ASSERT_TRUE(Echo(pdu));
  const auto start = std::chrono::steady_clock::now();
  pdu.releaseRQ.Write(pdu.Link);
  uint8_t type = 0;
  pdu.Link >> type;
  pdu.releaseRP.ReadDynamic(pdu.Link);
  const double answered =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(type, 6);
  EXPECT_LT(answered, 1.0);
  const double closed = SecondsUntilClosed(pdu.Link.dsocket);
  EXPECT_GT(closed, 4.5);
  EXPECT_LT(closed, 7.0);
  EXPECT_TRUE(server.WaitForLog("INFO, Close Connection: ")) << server.Log();
  EXPECT_TRUE(server.WaitForLog("INFO, Used Memory: "));
}

TEST(Association, NGetOnThePrinterReturnsFixedValuesWhateverWasAsked) {
  ServerUnderTest server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  const std::string expected = R"({"status":0,"printerStatus":"NORMAL","printerStatusInfo":)"
                               R"("NORMAL","printerName":"Veltrano Corvanel"})";
  const std::vector<std::vector<std::string>> asks = {
      {"1.2.840.10008.5.1.1.9", "00100010"},          // an attribute the printer has not
      {"-"},                                          // Printer SOP class, all attributes
      {"1.2.840.10008.5.1.1.18", "21100010", "21100030"}};
  std::vector<std::thread> runs;
  std::vector<std::string> outputs(asks.size());
  for (size_t i = 0; i < asks.size(); ++i)
    runs.emplace_back([&, i] {
      std::vector<std::string> argv{"node", SourcePath("tests/e2e/scripts/nget_printer.js"),
                                    std::to_string(server.port)};
      argv.insert(argv.end(), asks[i].begin(), asks[i].end());
      RunCommand(argv, &outputs[i], 30s);
    });
  for (std::thread& run : runs)
    run.join();
  for (const std::string& output : outputs)
    EXPECT_NE(output.find(expected), std::string::npos) << output;
  EXPECT_EQ(server.CountInLog("INFO, Successful N-GET"), 3);
}

TEST(Association, PeerThatBreaksOffInTheMiddleOfAMessage) {
  ServerUnderTest server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  for (const bool abort : {true, false}) {
    SCOPED_TRACE(abort ? "A-ABORT" : "connection closed");
    PDU_Service pdu;
    ASSERT_TRUE(Associate(pdu, server.port, {{kVerification, {kImplicit}}}));
    // The first fragment of a command set, not the last one.
    const uint8_t fragment[8] = {0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00};
    pdu.Link << uint8_t{4} << uint8_t{0} << uint32_t{6 + sizeof fragment};
    pdu.Link << uint32_t{2 + sizeof fragment} << uint8_t{1} << uint8_t{0x01};
    pdu.Link.Write(fragment, sizeof fragment);
    if (abort)
      pdu.abortRQ.Write(pdu.Link);
    else
      pdu.Link << uint8_t{4} << uint8_t{0}; // half a PDU header, then the connection goes
    pdu.Link.Flush();
    pdu.Link.dsocket.Close();
  }
  EXPECT_TRUE(server.WaitForLog("WARNING, PDU_Service::Read Abort-RQ")) << server.Log();
  EXPECT_TRUE(server.WaitForLog("ERROR, PDU_Service::Read, pdata.ReadDynamic(Link)"));
  std::string output;
  EXPECT_EQ(RunDcmtk("echoscu", {}, server.port, &output), 0) << output;
  EXPECT_TRUE(server.Running());
}

TEST(Association, LogLevel2DumpsThePDUsAndDataSets) {
  ServerUnderTest server({.logLevel = 2});
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  std::string output;
  EXPECT_EQ(RunDcmtk("echoscu", {"-aet", "DUMPSCU", "-aec", "DUMPSCP"}, server.port, &output), 0)
      << output;
  EXPECT_TRUE(server.WaitForLog("INFO, Echo RSP: Ok!")) << server.Log();
  const std::string log = server.Log();
  EXPECT_NE(log.find("INFO, AAssociateAC::Write"), std::string::npos) << log;
  EXPECT_NE(log.find("DUMPSCU << DUMPSCP"), std::string::npos) << log;
  EXPECT_NE(log.find("DUMPSCU >> DUMPSCP"), std::string::npos) << log;
  EXPECT_NE(log.find("(0000,0100)"), std::string::npos) << log;
}
