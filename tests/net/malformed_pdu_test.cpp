// Malformed PDUs written raw to an acceptor: each ends with its log line, an
// A-ABORT where the association is live, and no crash or hang.
#include <gtest/gtest.h>

#include "dicom/dcm_obj.h"
#include "net/pdu_service.h"
#include "net_fixtures.h"

using namespace net_test;

namespace {

enum class Phase { Negotiation, Associated };

struct Case {
  const char *name;
  Phase phase;
  std::vector<uint8_t> bytes;
  std::string line;
  bool aborted;    // an A-ABORT comes back
  bool closeAfter; // the peer closes after sending (else it just stops)
  bool readSucceeds = false;
};

std::string Repeat(char c, size_t n) { return std::string(n, c); }

std::vector<uint8_t> RQ(const std::vector<uint8_t> &items) { return AssociateRQBytes(items); }

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> PDataWithPDV(uint32_t pduLength, uint32_t itemLength) {
  return Bytes().u8(4).u8(0).u32(pduLength).u32(itemLength).u8(1).u8(2).zeros(4).data;
}

std::vector<Case> Cases() {
  const std::string uid65 = "1." + Repeat('9', 63);
  const std::vector<uint8_t> goodContext =
      PresentationContextBytes(1, "1.2.840.10008.1.1", {"1.2.840.10008.1.2"});
  const std::vector<uint8_t> role65 =
      Bytes().u8(0x54).u8(0).u16(69).u16(65).text(uid65).u8(1).u8(0).data;
  const std::vector<uint8_t> release = Bytes().u8(5).u8(0).u32(4).u32(0).data;
  std::vector<uint8_t> contextPastPDU = goodContext;
  contextPastPDU[3] += 40; // its Length runs past the PDU
  return {
      {"truncated header",
       Phase::Negotiation,
       {1, 0, 0},
       "ERROR, Buffer::Read, failed ReadBlock",
       false,
       true},
      {"peer stops mid-PDU",
       Phase::Negotiation,
       {1, 0, 0, 0, 0, 200, 0, 1},
       "ERROR, Socket::ReadBinary, Timed out",
       false,
       false},
      {"unknown PDU type", Phase::Negotiation, Bytes().u8(9).u8(0).u32(4).u32(0).data,
       "ERROR, PDU_Service::ReadAssociateRQ, PDU type 9", true, false},
      {"A-ASSOCIATE-RQ length 0", Phase::Negotiation, Bytes().u8(1).u8(0).u32(0).data,
       "ERROR, A-ASSOCIATE PDU Length=0 out of bounds", true, false},
      {"A-ASSOCIATE-RQ length 1", Phase::Negotiation, Bytes().u8(1).u8(0).u32(1).data,
       "ERROR, A-ASSOCIATE PDU Length=1 out of bounds", true, false},
      {"A-ASSOCIATE-RQ huge length", Phase::Negotiation, Bytes().u8(1).u8(0).u32(0xFFFFFFF0).data,
       "ERROR, A-ASSOCIATE PDU Length=4294967280 out of bounds", true, false},
      {"65-character abstract syntax", Phase::Negotiation,
       RQ(PresentationContextBytes(1, uid65, {"1.2.840.10008.1.2"})),
       "ERROR, UIDitem::ReadDynamic, Length=65 is longer than 64", true, false},
      {"65-character implementation class", Phase::Negotiation,
       RQ(UserInfoBytes(UIDItemBytes(0x52, uid65))),
       "ERROR, UIDitem::ReadDynamic, Length=65 is longer than 64", true, false},
      {"65-character role selection UID", Phase::Negotiation, RQ(UserInfoBytes(role65)),
       "ERROR, SCPSCURole::ReadDynamic, UID length=65 is longer than 64", true, false},
      {"presentation context past the PDU", Phase::Negotiation, RQ(contextPastPDU),
       "runs past its item", true, false},
      {"unknown item, then a release", Phase::Negotiation,
       Join(RQ(Join(goodContext, Bytes().u8(0x77).u8(0).u16(2).u16(0).data)), release),
       "WARNING, AAssociateRQ::Read Unknown Packet", false, false, true},
      {"unknown user information sub-item", Phase::Negotiation,
       RQ(UserInfoBytes(Bytes().u8(0x57).u8(0).u16(1).u8(0).data)),
       "WARNING, UserInformation::Read Unknown Packet", false, false, true},
      {"P-DATA length 0", Phase::Associated, Bytes().u8(4).u8(0).u32(0).data,
       "ERROR, PDataTF::ReadDynamic, PDU Length=0 out of bounds", true, false},
      {"P-DATA length 1", Phase::Associated, Bytes().u8(4).u8(0).u32(1).data,
       "ERROR, PDataTF::ReadDynamic, PDU Length=1 out of bounds", true, false},
      {"P-DATA huge length", Phase::Associated, Bytes().u8(4).u8(0).u32(0x7FFFFFFF).data,
       "ERROR, PDataTF::ReadDynamic, PDU Length=2147483647 out of bounds", true, false},
      {"PDV length 0", Phase::Associated, PDataWithPDV(10, 0),
       "ERROR, PDataTF::ReadDynamic, PDV item length=0", true, false},
      {"PDV length 1", Phase::Associated, PDataWithPDV(10, 1),
       "ERROR, PDataTF::ReadDynamic, PDV item length=1", true, false},
      {"PDV past its PDU", Phase::Associated, PDataWithPDV(10, 7),
       "ERROR, PDataTF::ReadDynamic, PDV item length=7", true, false},
      {"P-DATA cut short", Phase::Associated, PDataWithPDV(100, 96),
       "ERROR, Socket::ReadBinary, Timed out", false, false},
      {"unknown PDU type", Phase::Associated, Bytes().u8(0x55).u8(0).u32(0).data,
       "ERROR, PDU_Service::Read Protocol Error", true, false},
      {"A-ASSOCIATE-RQ inside the association", Phase::Associated, RQ(goodContext),
       "ERROR, PDU_Service::Read Associate-RQ", true, false},
  };
}

} // namespace

TEST(MalformedPDU, EachEndsWithItsLogLineAndAnAbortWhereLive) {
  for (const Case &c : Cases()) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    SocketPair pair;
    PDU_Service acceptor;
    int peer = pair.fd[1];
    if (c.phase == Phase::Associated)
      Associate(acceptor, pair.take(0));
    else
      acceptor.Link.dsocket.Attach(pair.take(0));
    acceptor.Link.dsocket.SetTimeout(1);
    SendAll(peer, c.bytes);
    if (c.closeAfter)
      shutdown(peer, SHUT_WR);
    DcmObj obj;
    bool read = c.phase == Phase::Negotiation ? acceptor.ReadAssociateRQ() : acceptor.Read(obj);
    EXPECT_EQ(read, c.readSucceeds);
    EXPECT_TRUE(log.Contains(c.line)) << c.line;
    if (c.readSucceeds) {
      // The stream is still on a PDU boundary: a following A-RELEASE-RQ is answered.
      if (c.bytes.size() > 10 && c.bytes[c.bytes.size() - 10] == 5) {
        EXPECT_FALSE(acceptor.Read(obj));
        EXPECT_EQ(ReceivePDU(peer).type, 6);
      }
      continue;
    }
    RawPDU answer = ReceivePDU(peer, 500);
    if (c.aborted) {
      EXPECT_EQ(answer.type, 7);
      ASSERT_EQ(answer.body.size(), 4u);
      EXPECT_EQ(answer.body[2], 2);
      EXPECT_TRUE(answer.body[3] == 0 || answer.body[3] == 2);
    } else {
      EXPECT_EQ(answer.type, 0);
    }
    EXPECT_FALSE(acceptor.Link.dsocket.IsConnected());
  }
}
