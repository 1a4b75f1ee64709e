// Association PDUs and items: sizes, round trips and the readers' handling of
// items they do not know.
#include <gtest/gtest.h>

#include "net/buffer.h"
#include "net/pdu.h"
#include "net_fixtures.h"

using namespace net_test;

namespace {

// A Buffer reading raw bytes written to the other end of a socket pair.
struct RawReader {
  explicit RawReader(const std::vector<uint8_t> &bytes) {
    link.dsocket.Attach(pair.take(0));
    link.dsocket.SetTimeout(2);
    link.SetIncomingEndian(Buffer::kBigEndian);
    link.SetOutgoingEndian(Buffer::kBigEndian);
    SendAll(pair.fd[1], bytes);
  }
  SocketPair pair;
  Buffer link;
};

} // namespace

TEST(Pdu, SizesOfPresentationContextAndUserInformation) {
  PresentationContext context;
  context.SetAbstractSyntax("1.2.840.10008.5.1.4.1.1.12"); // 26
  context.AddTransferSyntax("1.2.840.10008.1.2");
  context.AddTransferSyntax("1.2.840.10008.1.2.1");
  EXPECT_EQ(context.Size(), 82u);
  EXPECT_EQ(context.Length, 78);
  UserInformation info;
  info.SetMaximumLength(16384);
  info.SetImplementationClass("2.25.3237949316975634386815449"); // 30
  info.SetImplementationVersion("Veltrano");
  EXPECT_EQ(info.Size(), 58u);
  EXPECT_EQ(info.Length, 54);
}

TEST(Pdu, AssociateRQRoundTripKeeps16CharacterTitles) {
  AAssociateRQ rq;
  rq.SetCalledApTitle("ABCDEFGHIJKLMNOPQ"); // cut to 16
  rq.SetCallingApTitle("CORVANEL");
  auto context = std::make_unique<PresentationContext>();
  context->PresentationContextID = 7;
  context->SetAbstractSyntax("1.2.840.10008.1.1");
  context->AddTransferSyntax("1.2.840.10008.1.2");
  rq.AddPresentationContext(std::move(context));
  rq.UserInfo.SetMaximumLength(16384);
  rq.UserInfo.SetImplementationClass("1.2.3");
  rq.UserInfo.SetImplementationVersion("V1");
  SocketPair pair;
  Buffer out;
  out.SetOutgoingEndian(Buffer::kBigEndian);
  out.dsocket.Attach(pair.take(0));
  ASSERT_TRUE(rq.Write(out));
  std::vector<uint8_t> bytes = ReceiveUpTo(pair.fd[1], rq.Size());
  ASSERT_EQ(bytes.size(), rq.Size());

  RawReader reader(bytes);
  AAssociateRQ back;
  LogLevel = 2;
  LogCapture log;
  EXPECT_TRUE(back.Read(reader.link));
  LogLevel = 0;
  EXPECT_TRUE(log.Contains("INFO, AAssociateRQ::Read"));
  EXPECT_TRUE(log.Contains("CalledApTitle: ABCDEFGHIJKLMNOP"));
  EXPECT_TRUE(log.Contains("INFO, PresentationContext::Read"));
  EXPECT_TRUE(log.Contains("INFO, ImpVersion::ReadDynamic, Count=0, \"V1\""));
  EXPECT_EQ(back.CalledApTitle, "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(back.CallingApTitle, "CORVANEL");
  ASSERT_EQ(back.PresContexts.size(), 1u);
  EXPECT_EQ(back.PresContexts[0]->PresentationContextID, 7);
  EXPECT_EQ(back.PresContexts[0]->AbsSyntax.Text, "1.2.840.10008.1.1");
  EXPECT_EQ(back.UserInfo.MaxLength.MaximumLength, 16384u);
  EXPECT_EQ(back.UserInfo.ImpVersion.Text, "V1");
  EXPECT_EQ(back.Size(), rq.Size());
}

TEST(Pdu, AcceptForARejectedContextHasAnEmptyTransferSyntax) {
  PresentationContextAccept accept;
  accept.PresentationContextID = 3;
  accept.Result = 4;
  accept.SetTransferSyntax("");
  SocketPair pair;
  Buffer out;
  out.SetOutgoingEndian(Buffer::kBigEndian);
  out.dsocket.Attach(pair.take(0));
  ASSERT_TRUE(accept.Write(out));
  EXPECT_EQ(ReceiveUpTo(pair.fd[1], 12),
            (std::vector<uint8_t>{0x21, 0, 0, 8, 3, 0, 4, 0, 0x40, 0, 0, 0}));
}

TEST(Pdu, RoleSelectionAndUnknownSubItems) {
  LogCapture log;
  auto role = [](const std::string &uid, uint8_t scu) {
    return Bytes()
        .u8(0x54)
        .u8(0)
        .u16(static_cast<uint16_t>(uid.size() + 4))
        .u16(static_cast<uint16_t>(uid.size()))
        .text(uid)
        .u8(scu)
        .u8(0)
        .data;
  };
  std::vector<uint8_t> roles = role("1.2.3", 1);
  std::vector<uint8_t> second = role("1.2.840.10008.5.1.1.9", 0);
  roles.insert(roles.end(), second.begin(), second.end());
  {
    RawReader reader(AssociateRQBytes(UserInfoBytes(roles)));
    AAssociateRQ rq;
    EXPECT_TRUE(rq.Read(reader.link));
    EXPECT_EQ(rq.UserInfo.Role.SOPClassUID, "1.2.840.10008.5.1.1.9");
    EXPECT_EQ(rq.UserInfo.Role.SCURole, 0);
    EXPECT_EQ(rq.UserInfo.Size(), 4u + 8 + roles.size());
  }
  {
    // An SOP class extended negotiation sub-item (0x56) ends the user
    // information item; the presentation context after it is still read.
    std::vector<uint8_t> extended = Bytes().u8(0x56).u8(0).u16(3).text("abc").data;
    std::vector<uint8_t> items = UserInfoBytes(extended);
    std::vector<uint8_t> context =
        PresentationContextBytes(1, "1.2.840.10008.1.1", {"1.2.840.10008.1.2"});
    items.insert(items.end(), context.begin(), context.end());
    RawReader reader(AssociateRQBytes(items));
    AAssociateRQ rq;
    EXPECT_TRUE(rq.Read(reader.link));
    EXPECT_TRUE(log.Contains("WARNING, UserInformation::Read Unknown Packet"));
    EXPECT_TRUE(log.Contains("WARNING, UserInformation::Read Count=-1"));
    ASSERT_EQ(rq.PresContexts.size(), 1u);
    EXPECT_EQ(rq.PresContexts[0]->TrnSyntaxes.at(0)->Text, "1.2.840.10008.1.2");
    EXPECT_FALSE(rq.Malformed);
  }
}

TEST(Pdu, UnknownItemsAreConsumedToTheEndOfThePDU) {
  LogCapture log;
  std::vector<uint8_t> unknown = Bytes().u8(0x99).u8(0).u16(4).u32(0).data;
  std::vector<uint8_t> release = Bytes().u8(5).u8(0).u32(4).u32(0).data;
  for (uint8_t type : {1, 2}) {
    std::vector<uint8_t> bytes = AssociateRQBytes(unknown);
    bytes[0] = type;
    bytes.insert(bytes.end(), release.begin(), release.end());
    RawReader reader(bytes);
    uint8_t readType = 0;
    reader.link >> readType;
    bool read = type == 1 ? AAssociateRQ().ReadDynamic(reader.link)
                          : AAssociateAC().ReadDynamic(reader.link);
    EXPECT_FALSE(read);
    reader.link >> readType;
    EXPECT_EQ(readType, 5) << "the next PDU starts where the A-ASSOCIATE ended";
  }
  EXPECT_TRUE(log.Contains("WARNING, AAssociateRQ::Read Unknown Packet"));
  EXPECT_TRUE(log.Contains("WARNING, AAssociateRQ::Read Count=-1"));
}
