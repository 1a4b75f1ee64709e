#include "net/pdu.h"

#include <cstring>

#include "frame/event_log.h"
#include "net/buffer.h"
#include "net/pdu_support.h"

namespace {

// The 16-byte AE title field as a text: cut at a NUL, at most 16 characters.
std::string TitleText(const char (&field)[16]) { return std::string(field, strnlen(field, 16)); }

void WriteTitle(Buffer &link, const std::string &title) {
  char field[16] = {};
  std::memcpy(field, title.data(), std::min<size_t>(title.size(), 16));
  link.Write(field, 16);
}

// A-RELEASE and A-ABORT have a 4-byte body; anything else does not fit this limit.
constexpr uint32_t kMaxReleaseLength = 4;

} // namespace

// ---- A-ASSOCIATE-RQ / -AC

AAssociatePDU::AAssociatePDU(uint8_t type) : ItemType(type) {}

void AAssociatePDU::SetCalledApTitle(const std::string &title) {
  CalledApTitle = title.substr(0, 16);
}

void AAssociatePDU::SetCallingApTitle(const std::string &title) {
  CallingApTitle = title.substr(0, 16);
}

bool AAssociatePDU::WriteHeader(Buffer &link) {
  link << ItemType << Reserved1 << Length << ProtocolVersion << Reserved2;
  WriteTitle(link, CalledApTitle);
  WriteTitle(link, CallingApTitle);
  link.Write(Reserved3, sizeof Reserved3);
  return link.Flush();
}

bool AAssociatePDU::ReadHeader(Buffer &link) {
  link >> Reserved1 >> Length;
  if (link.ReadFailed())
    return false;
  if (Length < 68 || Length > kMaxIncomingPDULength) {
    WriteLog("ERROR, A-ASSOCIATE PDU Length=" + std::to_string(Length) + " out of bounds (68.." +
             std::to_string(kMaxIncomingPDULength) + ")");
    Malformed = true;
    return false;
  }
  char called[16] = {}, calling[16] = {};
  link >> ProtocolVersion >> Reserved2;
  link.Read(called, 16);
  link.Read(calling, 16);
  link.Read(Reserved3, sizeof Reserved3);
  CalledApTitle = TitleText(called);
  CallingApTitle = TitleText(calling);
  return !link.ReadFailed();
}

template <class Item>
bool AAssociatePDU::ReadItems(Buffer &link, uint8_t listType,
                              std::vector<std::unique_ptr<Item>> &list, int64_t &count) {
  count = int64_t{Length} - 68;
  while (count > 0 && !link.ReadFailed() && !Malformed) {
    uint8_t type = 0;
    link >> type;
    uint32_t room = static_cast<uint32_t>(count - 1);
    if (type == 0x10) {
      AppContext.ItemType = type;
      AppContext.ReadDynamic(link, room);
      Malformed = AppContext.Malformed;
      count -= AppContext.Size();
    } else if (type == listType) {
      auto item = std::make_unique<Item>();
      item->ReadDynamic(link, room);
      Malformed = item->Malformed;
      count -= item->Size();
      list.push_back(std::move(item));
    } else if (type == 0x50) {
      UserInfo.ReadDynamic(link, room);
      Malformed = UserInfo.Malformed;
      count -= UserInfo.Size();
    } else {
      // The rest of the PDU is passed over so that the stream stays on PDU boundaries.
      link.Skip(room);
      count = -1;
      return false;
    }
  }
  return true;
}

void AAssociatePDU::DumpHeader(const char *title) const {
  if (!LogEnabled(2))
    return;
  WriteLog(title);
  LogField("ItemType: ", ItemType);
  LogField("Reserved1: ", Reserved1);
  LogField("Length: ", Length);
  LogField("ProtocolVersion: ", ProtocolVersion);
  LogField("Reserved2: ", Reserved2);
  WriteLog("CalledApTitle: " + CalledApTitle);
  WriteLog("CallingApTitle: " + CallingApTitle);
  WriteLog("Reserved3: " + std::string(reinterpret_cast<const char *>(Reserved3),
                                       strnlen(reinterpret_cast<const char *>(Reserved3), 32)));
}

void AAssociateRQ::AddPresentationContext(std::unique_ptr<PresentationContext> context) {
  PresContexts.push_back(std::move(context));
}

uint32_t AAssociateRQ::Size() {
  uint32_t length = 68 + AppContext.Size() + UserInfo.Size();
  for (const auto &context : PresContexts)
    length += context->Size();
  Length = length;
  return Length + 6;
}

bool AAssociateRQ::Write(Buffer &link) {
  Size();
  DumpHeader("INFO, AAssociateRQ::Write");
  if (!WriteHeader(link)) {
    WriteLog("ERROR, AAssociateRQ::Write Link.Flush()");
    return false;
  }
  if (!AppContext.Write(link)) {
    WriteLog("ERROR, AAssociateRQ::Write AppContext.Write()");
    return false;
  }
  for (const auto &context : PresContexts)
    context->Write(link);
  UserInfo.Write(link);
  return true;
}

bool AAssociateRQ::Read(Buffer &link) {
  link >> ItemType;
  return ReadDynamic(link);
}

bool AAssociateRQ::ReadDynamic(Buffer &link) {
  if (!ReadHeader(link))
    return false;
  DumpHeader("INFO, AAssociateRQ::Read");
  int64_t count = 0;
  if (!ReadItems(link, 0x20, PresContexts, count))
    WriteLog("WARNING, AAssociateRQ::Read Unknown Packet");
  if (Malformed || link.ReadFailed())
    return false;
  if (count != 0) {
    WriteLog("WARNING, AAssociateRQ::Read Count=" + std::to_string(count));
    return false;
  }
  return true;
}

void AAssociateAC::AddPresentationContextAccept(std::unique_ptr<PresentationContextAccept> accept) {
  PresContextAccepts.push_back(std::move(accept));
}

uint32_t AAssociateAC::Size() {
  uint32_t length = 68 + AppContext.Size() + UserInfo.Size();
  for (const auto &accept : PresContextAccepts)
    length += accept->Size();
  Length = length;
  return Length + 6;
}

bool AAssociateAC::Write(Buffer &link) {
  Size();
  DumpHeader("INFO, AAssociateAC::Write");
  WriteHeader(link);
  AppContext.Write(link);
  for (const auto &accept : PresContextAccepts)
    accept->Write(link);
  UserInfo.Write(link);
  return true;
}

bool AAssociateAC::ReadDynamic(Buffer &link) {
  if (!ReadHeader(link))
    return false;
  int64_t count = 0;
  bool known = ReadItems(link, 0x21, PresContextAccepts, count);
  return known && !Malformed && count == 0 && !link.ReadFailed();
}

// ---- A-ASSOCIATE-RJ, A-RELEASE, A-ABORT

bool AAssociateRJ::ReadDynamic(Buffer &link) {
  link >> Reserved1 >> Length >> Reserved2 >> Result >> Source >> Reason;
  return !link.ReadFailed();
}

bool AReleasePDU::Write(Buffer &link) {
  Length = 4;
  link << ItemType << Reserved1 << Length << Reserved2;
  return link.Flush();
}

bool AReleasePDU::ReadDynamic(Buffer &link) {
  link >> Reserved1 >> Length >> Reserved2;
  // A longer body (up to the PDU limit) is passed over to stay on PDU boundaries.
  if (Length > kMaxReleaseLength && Length <= kMaxIncomingPDULength)
    link.Skip(Length - kMaxReleaseLength);
  return !link.ReadFailed();
}

bool AReleasePDU::Read(Buffer &link) {
  link >> ItemType;
  return ReadDynamic(link);
}

bool AAbortRQ::Write(Buffer &link) {
  Length = 4;
  link << ItemType << Reserved1 << Length << Reserved2 << Reserved3 << Source << Reason;
  return link.Flush();
}
