// The association service and DIMSE messages between two PDU_Service objects
// (or one and a raw peer) over socket pairs and loopback.
#include <gtest/gtest.h>

#include <thread>

#include "dicom/buf_data.h"
#include "dicom/dcm_obj.h"
#include "dicom/dimse_command.h"
#include "net/dimse_messages.h"
#include "net/pdu_service.h"
#include "net/scu_operations.h"
#include "net_fixtures.h"
#include "support/test_support.h"

using namespace net_test;

namespace {

std::vector<uint8_t> Encode(const DcmObj &obj) {
  BufData buf(false);
  buf.WriteObj(obj);
  return buf.Bytes();
}

std::vector<uint8_t> PDV(uint8_t context, uint8_t control, const std::vector<uint8_t> &value) {
  return Bytes()
      .u32(static_cast<uint32_t>(value.size() + 2))
      .u8(context)
      .u8(control)
      .raw(value)
      .data;
}

std::vector<uint8_t> PData(const std::vector<uint8_t> &pdvs) {
  return Bytes().u8(4).u8(0).u32(static_cast<uint32_t>(pdvs.size())).raw(pdvs).data;
}

// A data set whose implicit VR encoding is exactly size bytes.
DcmObj DataSetOfSize(uint32_t size) {
  DcmObj obj;
  std::vector<uint8_t> pixels(size - 8, 0x5A);
  obj.AddBytes(0x7FE0, 0x0010, size - 8, pixels.data());
  return obj;
}

struct PDVHeader {
  uint32_t pduLength, itemLength;
  uint8_t control;
};

std::vector<PDVHeader> ReceivePDataHeaders(int fd, size_t dataBytes) {
  std::vector<PDVHeader> headers;
  size_t seen = 0;
  while (seen < dataBytes) {
    RawPDU pdu = ReceivePDU(fd);
    if (pdu.type != 4)
      break;
    uint32_t item = uint32_t{pdu.body[0]} << 24 | uint32_t{pdu.body[1]} << 16 |
                    uint32_t{pdu.body[2]} << 8 | pdu.body[3];
    headers.push_back({static_cast<uint32_t>(pdu.body.size()), item, pdu.body[5]});
    seen += item - 2;
  }
  return headers;
}

DcmObj Command(uint16_t field, const std::string &classUID, uint16_t messageID,
               uint16_t dataSetType = dimse::kNoDataSet) {
  CommandFields fields;
  fields.CommandField = field;
  fields.AffectedSOPClassUID = classUID;
  fields.MessageID = messageID;
  fields.DataSetType = dataSetType;
  DcmObj command;
  BuildCommandSet(fields, command);
  return command;
}

// A raw acceptor on a free port: reads one PDU and answers with reply.
struct RawAcceptor {
  explicit RawAcceptor(std::vector<uint8_t> reply) : port(testing_support::FreePort()) {
    listener.Listen(std::to_string(port));
    thread = std::thread([this, reply] {
      if (!listener.Accept())
        return;
      int fd = listener.ConnectedHandle();
      ReceivePDU(fd);
      SendAll(fd, reply);
      ReceivePDU(fd, 1000); // wait for the SCU to close
    });
  }
  ~RawAcceptor() { thread.join(); }
  int port;
  Socket listener;
  std::thread thread;
};

std::vector<uint8_t> AssociateAC(const std::string &transferSyntax) {
  std::vector<uint8_t> accept = Bytes()
                                    .u8(0x21)
                                    .u8(0)
                                    .u16(static_cast<uint16_t>(8 + transferSyntax.size()))
                                    .u8(1)
                                    .u8(0)
                                    .u8(0)
                                    .u8(0)
                                    .raw(UIDItemBytes(0x40, transferSyntax))
                                    .data;
  std::vector<uint8_t> items = UIDItemBytes(0x10, "1.2.840.10008.3.1.1.1");
  items.insert(items.end(), accept.begin(), accept.end());
  std::vector<uint8_t> info = UserInfoBytes();
  items.insert(items.end(), info.begin(), info.end());
  std::vector<uint8_t> pdu = AssociateRQBytes(items);
  pdu[0] = 2;
  return pdu;
}

} // namespace

TEST(PDataFraming, FragmentsFollowTheAcceptorsMaximumLength) {
  struct Case {
    uint32_t maximum;
    std::vector<uint32_t> itemLengths;
  };
  for (const Case &c :
       {Case{16384, {16380, 16380, 7246}}, Case{0, {40002}}, Case{32768, {16380, 16380, 7246}}}) {
    LogLevel = 2;
    LogCapture log;
    SocketPair pair;
    PDU_Service scu;
    Associate(scu, pair.take(0), c.maximum);
    DcmObj data = DataSetOfSize(40000);
    std::vector<PDVHeader> headers;
    std::thread reader([&] { headers = ReceivePDataHeaders(pair.fd[1], 40000); });
    EXPECT_TRUE(scu.Write(data, 0));
    reader.join();
    LogLevel = 0;
    ASSERT_EQ(headers.size(), c.itemLengths.size()) << c.maximum;
    for (size_t i = 0; i < headers.size(); ++i) {
      EXPECT_EQ(headers[i].itemLength, c.itemLengths[i]);
      EXPECT_EQ(headers[i].pduLength, c.itemLengths[i] + 4);
      EXPECT_EQ(headers[i].control, i + 1 == headers.size() ? 0x02 : 0x00);
    }
    EXPECT_EQ(log.Contains("INFO, PDU_Service::Write, MaximumLength set to 16384"),
              c.maximum == 32768);
  }
}

TEST(PDataFraming, CommandAndDataSetInOnePDU) {
  SocketPair pair;
  PDU_Service scp;
  Associate(scp, pair.take(0));
  DcmObj command = Command(dimse::N_CREATE_RQ, "1.2.840.10008.5.1.1.1", 9, dimse::kDataSetPresent);
  DcmObj data;
  data.AddString(0x2000, 0x0010, "1 ");
  std::vector<uint8_t> pdvs = PDV(1, 3, Encode(command));
  std::vector<uint8_t> second = PDV(1, 2, Encode(data));
  pdvs.insert(pdvs.end(), second.begin(), second.end());
  SendAll(pair.fd[1], PData(pdvs));
  DcmObj readCommand, readData;
  ASSERT_TRUE(scp.Read(readCommand));
  EXPECT_EQ(readCommand.GetUShort(0x0000, 0x0100), dimse::N_CREATE_RQ);
  EXPECT_NE(scp.pdata.Length, 0u);
  ASSERT_TRUE(NCreate::ReadRQ(&scp, readCommand, &readData));
  EXPECT_EQ(readData.GetString(0x2000, 0x0010), "1");
}

TEST(Association, ReleaseAbortAndUnknownContext) {
  LogCapture log;
  {
    SocketPair pair;
    PDU_Service scp;
    Associate(scp, pair.take(0));
    SendAll(pair.fd[1], Bytes().u8(5).u8(0).u32(4).u32(0).data);
    DcmObj obj;
    EXPECT_FALSE(scp.Read(obj));
    EXPECT_EQ(ReceivePDU(pair.fd[1]).type, 6);
    EXPECT_TRUE(scp.Link.dsocket.IsConnected());
  }
  {
    SocketPair pair;
    PDU_Service scp;
    Associate(scp, pair.take(0));
    DcmObj command = Command(dimse::C_ECHO_RQ, "1.2.840.10008.1.1", 1);
    SendAll(pair.fd[1], PData(PDV(3, 3, Encode(command))));
    DcmObj obj;
    EXPECT_FALSE(scp.Read(obj));
    EXPECT_TRUE(log.Contains("ERROR, PDU_Service::ParseRawVRIntoDCM GetTransferSyntaxUID()"));
    RawPDU abort = ReceivePDU(pair.fd[1]);
    EXPECT_EQ(abort.type, 7);
    EXPECT_EQ(abort.body, (std::vector<uint8_t>{0, 0, 2, 0}));
    EXPECT_FALSE(scp.Link.dsocket.IsConnected());
  }
  {
    SocketPair pair;
    PDU_Service scp;
    Associate(scp, pair.take(0));
    SendAll(pair.fd[1], Bytes().u8(7).u8(0).u32(4).u32(0).data);
    DcmObj obj;
    EXPECT_FALSE(scp.Read(obj));
    EXPECT_TRUE(log.Contains("WARNING, PDU_Service::Read Abort-RQ"));
    EXPECT_FALSE(scp.Link.dsocket.IsConnected());
  }
}

TEST(Association, ConnectFailsOnRejectionCorruptAnswerAndNoUsableSyntax) {
  struct Case {
    std::vector<uint8_t> reply;
    std::string line;
  };
  const Case cases[] = {
      {Bytes().u8(3).u8(0).u32(4).u8(0).u8(1).u8(1).u8(3).data, "ERROR, Association Rejected..."},
      {Bytes().u8(9).u8(0).u32(0).data, "ERROR, Corrupt Transmission..."},
      {AssociateAC("1.2.840.10008.1.2.2"), "ERROR, Transfer Syntax is Empty"},
  };
  for (const Case &c : cases) {
    LogCapture log;
    RawAcceptor acceptor(c.reply);
    PDU_Service scu;
    EXPECT_FALSE(OpenAssociation(scu, "CORVANEL", "PEER", "127.0.0.1",
                                 std::to_string(acceptor.port), "1.2.840.10008.1.1",
                                 "1.2.840.10008.1.2", "", 5));
    EXPECT_TRUE(log.Contains(c.line)) << c.line;
    EXPECT_FALSE(scu.Link.dsocket.IsConnected());
  }
}

TEST(Association, ProposedTransferSyntaxesAndTitles) {
  struct Case {
    std::string a, b;
    std::vector<std::string> proposed;
  };
  const Case cases[] = {
      {"1.2.840.10008.1.2.4.50",
       "1.2.840.10008.1.2.4.50",
       {"1.2.840.10008.1.2.4.50", "1.2.840.10008.1.2"}},
      {"1.2.840.10008.1.2.1", "", {"1.2.840.10008.1.2.1", "1.2.840.10008.1.2"}},
      {"1.2.840.10008.1.2", "1.2.840.10008.1.2.1", {"1.2.840.10008.1.2.1", "1.2.840.10008.1.2"}},
  };
  for (const Case &c : cases) {
    TestSCP scp({"1.2.840.10008.1.2"});
    PDU_Service scu;
    ASSERT_TRUE(OpenAssociation(scu, "A-CALLING-TITLE-TOO-LONG", "SCP", "127.0.0.1",
                                std::to_string(scp.port()), "1.2.840.10008.1.1", c.a, c.b, 5));
    EXPECT_EQ(scu.assocRQ.CallingApTitle, "A-CALLING-TITLE-");
    EXPECT_EQ(scu.assocRQ.CalledApTitle, "SCP             ");
    EXPECT_EQ(scu.assocRQ.PresContexts.at(0)->PresentationContextID, 1);
    scu.Release();
    EXPECT_EQ(scp.proposedTransferSyntaxes(), c.proposed);
  }
}

TEST(Dimse, GroupLengthsMessageIDsAndStatuses) {
  LogCapture log;
  SocketPair pair;
  PDU_Service scu, scp;
  Associate(scu, pair.take(0));
  Associate(scp, pair.take(1));

  // C-STORE-RQ: class of 25 and instance of 40 characters.
  ResetPresentationContextCounter();
  EXPECT_EQ(NextPresentationContextID(), 1);
  DcmObj data;
  data.AddString(0x0008, 0x0018, "1.2.840.113619.2.55.3.604688.4567.123.45");
  ASSERT_TRUE(CStore::WriteRQ(scu, &data, "1.2.840.10008.5.1.4.1.1.7"));
  DcmObj request, received;
  ASSERT_TRUE(scp.Read(request));
  EXPECT_EQ(request.Find(0x0000, 0x0000)->Value()[0], 122);
  EXPECT_EQ(request.GetUShort(0x0000, 0x0110), 3);
  EXPECT_EQ(NextMessageID(), 5);
  ASSERT_TRUE(CStore::ReadRQ(&scp, request, &received));
  EXPECT_EQ(received.GetString(0x0008, 0x0018), "1.2.840.113619.2.55.3.604688.4567.123.45");
  ASSERT_TRUE(CStore::WriteRSP(scp, &request, 0xB000));
  EXPECT_EQ(CStore::ReadRSP(scu), 45056);
  EXPECT_TRUE(log.Contains("ERROR, CStore::ReadRSP, status == 45056"));

  DcmObj noData = Command(dimse::C_STORE_RQ, "1.2.840.10008.5.1.4.1.1.7", 1, dimse::kNoDataSet);
  EXPECT_FALSE(CStore::ReadRQ(nullptr, noData, nullptr));
  EXPECT_TRUE(log.Contains("ERROR, CStore::ReadRQ, C-Store Request without data section"));

  // C-ECHO-RSP to a Verification request copies its data set type.
  DcmObj echo = Command(dimse::C_ECHO_RQ, "1.2.840.10008.1.1", 77);
  ASSERT_TRUE(CEcho::ReadRQ(echo));
  ASSERT_TRUE(CEcho::WriteRSP(scp, echo));
  DcmObj echoResponse;
  ASSERT_TRUE(scu.Read(echoResponse));
  EXPECT_EQ(echoResponse.Find(0x0000, 0x0000)->Value()[0], 66);
  EXPECT_EQ(echoResponse.GetUShort(0x0000, 0x0120), 77);
  EXPECT_EQ(echoResponse.GetUShort(0x0000, 0x0800), dimse::kNoDataSet);

  // N-ACTION-RSP with class and instance UIDs of 22 and 30 characters.
  DcmObj action = Command(dimse::N_ACTION_RQ, "1.2.840.10008.5.1.1.11", 12);
  NAction nAction;
  ASSERT_TRUE(nAction.WriteRSP(scp, action, nullptr, "1.2.3.4.5.6.7.8.9.10.11.12.134",
                               "1.2.840.10008.5.1.1.11", 1, 0));
  DcmObj actionResponse;
  ASSERT_TRUE(scu.Read(actionResponse));
  EXPECT_EQ(actionResponse.Find(0x0000, 0x0000)->Value()[0], 118);
  EXPECT_EQ(actionResponse.GetUShort(0x0000, 0x1008), 1);

  // N-CREATE-RSP without an instance UID, with a data set.
  NCreate nCreate;
  DcmObj attributes;
  attributes.AddString(0x2010, 0x0010, "STANDARD\\1,1");
  ASSERT_TRUE(nCreate.WriteRSP(scp, action, &attributes, "", "1.2.840.10008.5.1.1.1", 0));
  DcmObj createResponse, createData;
  ASSERT_TRUE(scu.Read(createResponse));
  EXPECT_EQ(createResponse.Find(0x0000, 0x1000), nullptr);
  EXPECT_EQ(createResponse.Find(0x0000, 0x0000)->Value()[0], 22 + 48);
  EXPECT_EQ(createResponse.GetUShort(0x0000, 0x0800), dimse::kDataSetPresent);
  ASSERT_TRUE(scu.Read(createData));
  EXPECT_EQ(createData.GetString(0x2010, 0x0010), "STANDARD\\1,1");
}

TEST(Dimse, EchoAndStoreThroughATestSCP) {
  TestSCP scp;
  PDU_Service scu;
  ASSERT_TRUE(OpenAssociation(scu, "CORVANEL", "SCP", "127.0.0.1", std::to_string(scp.port()),
                              "1.2.840.10008.5.1.4.1.1.7", "1.2.840.10008.1.2", "", 5));
  DcmObj data = DataSetOfSize(40000);
  data.AddString(0x0008, 0x0018, "1.2.3.4");
  EXPECT_EQ(WriteStoreRQ(scu, data, "1.2.840.10008.5.1.4.1.1.7"), 0);
  EXPECT_EQ(CStore::ReadRSP(scu), 0);
  scu.Release();
  EXPECT_EQ(scp.commandFields(), std::vector<uint16_t>{dimse::C_STORE_RQ});
  EXPECT_EQ(scp.storedBytes(), 39992u);
}

TEST(Dimse, StoreConvertsExplicitToImplicitAndRefusesOtherMismatches) {
  LogCapture log;
  TestSCP scp({"1.2.840.10008.1.2"});
  PDU_Service scu;
  ASSERT_TRUE(OpenAssociation(scu, "CORVANEL", "SCP", "127.0.0.1", std::to_string(scp.port()),
                              "1.2.840.10008.5.1.4.1.1.7", "1.2.840.10008.1.2.4.50",
                              "1.2.840.10008.1.2.1", 5));
  DcmObj explicitImage = DataSetOfSize(1000);
  explicitImage.TransferSyntax = "1.2.840.10008.1.2.1";
  explicitImage.Explicit = true;
  explicitImage.AddString(0x0008, 0x0018, "1.2.3.5");
  EXPECT_EQ(WriteStoreRQ(scu, explicitImage, "1.2.840.10008.5.1.4.1.1.7"), 0);
  EXPECT_EQ(CStore::ReadRSP(scu), 0);
  EXPECT_FALSE(explicitImage.Explicit);

  DcmObj jpegImage = DataSetOfSize(1000);
  jpegImage.TransferSyntax = "1.2.840.10008.1.2.4.50";
  jpegImage.Explicit = true;
  EXPECT_EQ(WriteStoreRQ(scu, jpegImage, "1.2.840.10008.5.1.4.1.1.7"), -3);
  EXPECT_TRUE(log.Contains("ERROR, WriteStoreRQ, data set in 1.2.840.10008.1.2.4.50 cannot be "
                           "sent on a context of 1.2.840.10008.1.2"));
  scu.Release();
  EXPECT_EQ(scp.storedBytes(), 992u);
}
