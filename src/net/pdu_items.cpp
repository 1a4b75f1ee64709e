#include "net/pdu_items.h"

#include <atomic>
#include <cstring>

#include "frame/event_log.h"
#include "net/buffer.h"
#include "net/pdu_support.h"

namespace {

std::atomic<int> presentationContextCounter{1};

// Reads length bytes of text, cut at a NUL as a fixed text area would hold it.
std::string ReadText(Buffer &link, uint32_t length) {
  std::string text(length, '\0');
  if (length > 0 && !link.Read(text.data(), length))
    return {};
  text.resize(std::strlen(text.c_str()));
  return text;
}

void WriteText(Buffer &link, const std::string &text) {
  link.Write(text.data(), static_cast<uint32_t>(text.size()));
}

} // namespace

void ResetPresentationContextCounter() { presentationContextCounter = 1; }

uint8_t NextPresentationContextID() {
  int value = presentationContextCounter.load();
  int odd;
  do {
    odd = value | 1;
  } while (!presentationContextCounter.compare_exchange_weak(value, odd + 1));
  return static_cast<uint8_t>(odd);
}

uint8_t NextAcceptContextID() { return static_cast<uint8_t>(presentationContextCounter++); }

uint16_t NextMessageID() {
  int value = presentationContextCounter.load();
  int odd;
  do {
    odd = value | 1;
  } while (!presentationContextCounter.compare_exchange_weak(value, odd + 1));
  return static_cast<uint16_t>(odd);
}

bool ItemFits(uint32_t extent, uint32_t room, const char *reader) {
  if (extent <= room)
    return true;
  WriteLog(std::string("ERROR, ") + reader + ", Length=" + std::to_string(extent) +
           " runs past its item (" + std::to_string(room) + " bytes left)");
  return false;
}

// ---- UIDitem

UIDitem::UIDitem(uint8_t type, std::string text) { Set(type, text); }

void UIDitem::Set(uint8_t type, const std::string &text) {
  ItemType = type;
  Text = text;
  Length = static_cast<uint16_t>(text.size());
}

bool UIDitem::Write(Buffer &link) {
  link << ItemType << Reserved1 << Length;
  link.Write(Text.data(), Length);
  return link.Flush();
}

bool UIDitem::ReadDynamic(Buffer &link, uint32_t room) {
  if (!ItemFits(3, room, "UIDitem::ReadDynamic")) {
    Malformed = true;
    return false;
  }
  link >> Reserved1 >> Length;
  if (Length > kMaxUIDTextLength) {
    WriteLog("ERROR, UIDitem::ReadDynamic, Length=" + std::to_string(Length) + " is longer than " +
             std::to_string(kMaxUIDTextLength));
    Malformed = true;
    return false;
  }
  if (!ItemFits(Length + 3u, room, "UIDitem::ReadDynamic")) {
    Malformed = true;
    return false;
  }
  Text = ReadText(link, Length);
  return !link.ReadFailed();
}

// ---- PresentationContext

PresentationContext::PresentationContext() : PresentationContextID(NextPresentationContextID()) {}

void PresentationContext::SetAbstractSyntax(const std::string &uid) { AbsSyntax.Set(0x30, uid); }

void PresentationContext::AddTransferSyntax(const std::string &uid) {
  TrnSyntaxes.push_back(std::make_unique<UIDitem>(0x40, uid));
}

uint32_t PresentationContext::Size() {
  uint32_t length = 4 + AbsSyntax.Size();
  for (const auto &syntax : TrnSyntaxes)
    length += syntax->Size();
  Length = static_cast<uint16_t>(length);
  return Length + 4u;
}

void DumpPresentationContext(const char *title, const PresentationContext &context) {
  if (!LogEnabled(2))
    return;
  WriteLog(title);
  LogField("ItemType: ", context.ItemType);
  LogField("Reserved1: ", context.Reserved1);
  LogField("Length: ", context.Length);
  LogField("PresentationContextID: ", context.PresentationContextID);
  LogField("Reserved2: ", context.Reserved2);
  LogField("Reserved3: ", context.Reserved3);
  LogField("Reserved4: ", context.Reserved4);
  WriteLog("AbsSyntax: " + context.AbsSyntax.Text);
  for (const auto &syntax : context.TrnSyntaxes)
    WriteLog("TrnSyntax: " + syntax->Text);
}

bool PresentationContext::Write(Buffer &link) {
  Size();
  DumpPresentationContext("INFO, PresentationContext::Write", *this);
  link << ItemType << Reserved1 << Length << PresentationContextID << Reserved2 << Reserved3
       << Reserved4;
  link.Flush();
  AbsSyntax.Write(link);
  if (TrnSyntaxes.empty()) {
    WriteLog("ERROR, PresentationContext::Write");
    return false;
  }
  bool written = true;
  for (const auto &syntax : TrnSyntaxes)
    written = syntax->Write(link) && written;
  return written;
}

bool PresentationContext::ReadDynamic(Buffer &link, uint32_t room) {
  if (!ItemFits(7, room, "PresentationContext::ReadDynamic")) {
    Malformed = true;
    return false;
  }
  link >> Reserved1 >> Length;
  if (Length < 4 || !ItemFits(Length + 3u, room, "PresentationContext::ReadDynamic")) {
    if (Length < 4)
      WriteLog("ERROR, PresentationContext::ReadDynamic, Length=" + std::to_string(Length));
    Malformed = true;
    return false;
  }
  link >> PresentationContextID >> Reserved2 >> Reserved3 >> Reserved4;
  int count = Length - 4;
  bool first = true;
  while (count > 0 && !link.ReadFailed()) {
    uint8_t type = 0;
    link >> type;
    UIDitem *item = &AbsSyntax;
    if (!first) {
      TrnSyntaxes.push_back(std::make_unique<UIDitem>(type));
      item = TrnSyntaxes.back().get();
    }
    item->ItemType = type;
    if (!item->ReadDynamic(link, static_cast<uint32_t>(count - 1))) {
      Malformed = item->Malformed;
      return false;
    }
    count -= static_cast<int>(item->Size());
    first = false;
  }
  DumpPresentationContext("INFO, PresentationContext::Read", *this);
  if (link.ReadFailed())
    return false;
  if (count != 0) {
    WriteLog("WARNING, PresentationContext::Read Count=" + std::to_string(count));
    return false;
  }
  return true;
}

// ---- PresentationContextAccept

PresentationContextAccept::PresentationContextAccept()
    : PresentationContextID(NextAcceptContextID()) {}

void PresentationContextAccept::SetAbstractSyntax(const std::string &uid) {
  AbsSyntax.Set(0x30, uid);
}

void PresentationContextAccept::SetTransferSyntax(const std::string &uid) {
  TrnSyntax.Set(0x40, uid);
}

uint32_t PresentationContextAccept::Size() {
  Length = static_cast<uint16_t>(4 + TrnSyntax.Size());
  return Length + 4u;
}

void DumpPresentationContextAccept(const char *title, const PresentationContextAccept &accept) {
  if (!LogEnabled(2))
    return;
  WriteLog(title);
  LogField("ItemType: ", accept.ItemType);
  LogField("Reserved1: ", accept.Reserved1);
  LogField("Length: ", accept.Length);
  LogField("PresentationContextID: ", accept.PresentationContextID);
  LogField("Reserved2: ", accept.Reserved2);
  LogField("Result: ", accept.Result);
  LogField("Reserved4: ", accept.Reserved4);
  WriteLog("AbsSyntax: " + accept.AbsSyntax.Text);
  WriteLog("TrnSyntax: " + accept.TrnSyntax.Text);
}

bool PresentationContextAccept::Write(Buffer &link) {
  Size();
  DumpPresentationContextAccept("INFO, PresentationContextAccept::Write", *this);
  link << ItemType << Reserved1 << Length << PresentationContextID << Reserved2 << Result
       << Reserved4;
  link.Flush();
  TrnSyntax.ItemType = 0x40;
  return TrnSyntax.Write(link);
}

bool PresentationContextAccept::ReadDynamic(Buffer &link, uint32_t room) {
  if (!ItemFits(8, room, "PresentationContextAccept::ReadDynamic")) {
    Malformed = true;
    return false;
  }
  link >> Reserved1 >> Length;
  if (Length < 4 || !ItemFits(Length + 3u, room, "PresentationContextAccept::ReadDynamic")) {
    if (Length < 4)
      WriteLog("ERROR, PresentationContextAccept::ReadDynamic, Length=" + std::to_string(Length));
    Malformed = true;
    return false;
  }
  link >> PresentationContextID >> Reserved2 >> Result >> Reserved4 >> TrnSyntax.ItemType;
  bool read = TrnSyntax.ReadDynamic(link, Length - 5u);
  Malformed = TrnSyntax.Malformed;
  // Bytes the item declares beyond its transfer syntax are passed over.
  if (read && Length > 4 + TrnSyntax.Size())
    link.Skip(Length - 4 - TrnSyntax.Size());
  DumpPresentationContextAccept("INFO, PresentationContextAccept::Read", *this);
  return read && !link.ReadFailed();
}

// ---- UserIdentity

void UserIdentity::Set(const std::string &userName, const std::string &passcode) {
  ItemType = 0x58;
  IdentityType = 2;
  PositiveResponseRequested = 1;
  PrimaryField = userName;
  SecondaryField = passcode;
  Length = static_cast<uint16_t>(userName.size() + passcode.size() + 6);
}

bool UserIdentity::Write(Buffer &link) {
  link << ItemType << Reserved1 << Length << IdentityType << PositiveResponseRequested
       << static_cast<uint16_t>(PrimaryField.size());
  WriteText(link, PrimaryField);
  link << static_cast<uint16_t>(SecondaryField.size());
  WriteText(link, SecondaryField);
  return link.Flush();
}

// ---- UserInformation

UserInformation::UserInformation() = default;

void UserInformation::SetUserIdentity(const std::string &userName, const std::string &passcode) {
  Identity.Set(userName, passcode);
}

uint32_t UserInformation::Size() {
  if (Length == 0) {
    uint32_t length = 8 + ImpClass.Size() + ImpVersion.Size();
    if (LogEnabled(2)) {
      WriteLog("INFO, MaxSubLength::Size, Length=8, MaxSubLength.MaximumLength=" +
               std::to_string(MaxLength.MaximumLength));
      WriteLog("INFO, ImpClass::Size, Length=" + std::to_string(ImpClass.Size()) + ", \"" +
               ImpClass.Text + "\"");
      WriteLog("INFO, ImpVersion::Size, Length=" + std::to_string(ImpVersion.Size()) + ", \"" +
               ImpVersion.Text + "\"");
    }
    if (!Identity.PrimaryField.empty()) {
      length += Identity.Length + 4u;
      if (LogEnabled(2))
        WriteLog("INFO, UserIdent::Size, Length=" + std::to_string(Identity.Length + 4u));
    }
    if (!IdentityResponse.ServerResponse.empty()) {
      length += IdentityResponse.Length + 4u;
      if (LogEnabled(2))
        WriteLog("INFO, UserIdentRes::Size, Length=" +
                 std::to_string(IdentityResponse.Length + 4u));
    }
    Length = static_cast<uint16_t>(length);
  }
  if (LogEnabled(2))
    WriteLog("INFO, UserInformation::Size, Length=" + std::to_string(Length));
  return Length + 4u;
}

bool UserInformation::Write(Buffer &link) {
  Size();
  link << ItemType << Reserved1 << Length;
  link.Flush();
  link << MaxLength.ItemType << MaxLength.Reserved1 << uint16_t{4} << MaxLength.MaximumLength;
  link.Flush();
  ImpClass.ItemType = 0x52;
  ImpClass.Write(link);
  ImpVersion.ItemType = 0x55;
  ImpVersion.Write(link);
  if (!Identity.PrimaryField.empty())
    Identity.Write(link);
  return true;
}

namespace {

// The body of a sub-item other than a UID text: its 16-bit Length has been read.
// Returns false (after logging) when the declared fields do not fit the sub-item.
bool ReadSubItemBody(Buffer &link, uint8_t type, uint16_t length, UserInformation &info) {
  auto fits = [&](uint32_t needed, const char *reader) {
    if (needed <= length)
      return true;
    WriteLog(std::string("ERROR, ") + reader + ", fields of " + std::to_string(needed) +
             " bytes in a sub-item of " + std::to_string(length));
    return false;
  };
  uint32_t used = 0;
  switch (type) {
  case 0x51:
    if (!fits(4, "MaxSubLength::ReadDynamic"))
      return false;
    info.MaxLength.Length = length;
    link >> info.MaxLength.MaximumLength;
    used = 4;
    break;
  case 0x53:
    if (!fits(4, "AsyncOpWindow::ReadDynamic"))
      return false;
    info.AsyncWindow.Length = length;
    link >> info.AsyncWindow.MaxInvoked >> info.AsyncWindow.MaxPerformed;
    used = 4;
    break;
  case 0x54: {
    uint16_t uidLength = 0;
    if (!fits(2, "SCPSCURole::ReadDynamic"))
      return false;
    link >> uidLength;
    if (uidLength > kMaxUIDTextLength) {
      WriteLog("ERROR, SCPSCURole::ReadDynamic, UID length=" + std::to_string(uidLength) +
               " is longer than " + std::to_string(kMaxUIDTextLength));
      return false;
    }
    if (!fits(uidLength + 4u, "SCPSCURole::ReadDynamic"))
      return false;
    info.Role = SCPSCURole{};
    info.Role.Length = length;
    info.Role.SOPClassUID = ReadText(link, uidLength);
    link >> info.Role.SCURole >> info.Role.SCPRole;
    used = uidLength + 4u;
    break;
  }
  case 0x58: {
    UserIdentity &identity = info.Identity;
    uint16_t primary = 0, secondary = 0;
    if (!fits(4, "UserIdent::ReadDynamic"))
      return false;
    identity.Length = length;
    link >> identity.IdentityType >> identity.PositiveResponseRequested >> primary;
    if (!fits(primary + 6u, "UserIdent::ReadDynamic"))
      return false;
    identity.PrimaryField = ReadText(link, primary);
    link >> secondary;
    if (!fits(primary + secondary + 6u, "UserIdent::ReadDynamic"))
      return false;
    identity.SecondaryField = ReadText(link, secondary);
    used = primary + secondary + 6u;
    break;
  }
  case 0x59: {
    uint16_t responseLength = 0;
    if (!fits(2, "UserIdentRes::ReadDynamic"))
      return false;
    link >> responseLength;
    if (!fits(responseLength + 2u, "UserIdentRes::ReadDynamic"))
      return false;
    info.IdentityResponse.Length = length;
    info.IdentityResponse.ServerResponse = ReadText(link, responseLength);
    used = responseLength + 2u;
    break;
  }
  }
  // Declared bytes beyond the known fields are passed over.
  return used >= length || link.Skip(length - used);
}

void LogSubItem(uint8_t type, int count, const UserInformation &info) {
  if (!LogEnabled(2))
    return;
  std::string countText = std::to_string(count);
  switch (type) {
  case 0x51:
    WriteLog("INFO, MaxSubLength::ReadDynamic, Count=" + countText +
             ", MaxSubLength.MaximumLength=" + std::to_string(info.MaxLength.MaximumLength));
    break;
  case 0x52:
    WriteLog("INFO, ImpClass::ReadDynamic, Count=" + countText + ", \"" + info.ImpClass.Text +
             "\"");
    break;
  case 0x55:
    WriteLog("INFO, ImpVersion::ReadDynamic, Count=" + countText + ", \"" + info.ImpVersion.Text +
             "\"");
    break;
  case 0x53:
    WriteLog("INFO, AsyncOpWindow::ReadDynamic, Count=" + countText);
    break;
  case 0x54:
    WriteLog("INFO, SCPSCURole::ReadDynamic, Count=" + countText);
    break;
  case 0x58:
    WriteLog("INFO, UserIdent::ReadDynamic, Count=" + countText);
    break;
  case 0x59:
    WriteLog("INFO, UserIdentRes::ReadDynamic, Count=" + countText + ", " +
             info.IdentityResponse.ServerResponse);
    break;
  }
}

} // namespace

bool UserInformation::ReadDynamic(Buffer &link, uint32_t room) {
  if (!ItemFits(3, room, "UserInformation::ReadDynamic")) {
    Malformed = true;
    return false;
  }
  link >> Reserved1 >> Length;
  if (!ItemFits(Length + 3u, room, "UserInformation::ReadDynamic")) {
    Malformed = true;
    return false;
  }
  if (LogEnabled(2))
    WriteLog("INFO, UserInformation::ReadDynamic, Count=" + std::to_string(Length));
  int count = Length;
  while (count > 0 && !link.ReadFailed()) {
    uint8_t type = 0;
    link >> type;
    if (type != 0x51 && (type < 0x52 || type > 0x55) && type != 0x58 && type != 0x59) {
      WriteLog("WARNING, UserInformation::Read Unknown Packet");
      link.Skip(static_cast<uint32_t>(count - 1));
      count = -1;
      break;
    }
    if (type == 0x52 || type == 0x55) {
      UIDitem &item = type == 0x52 ? ImpClass : ImpVersion;
      item.ItemType = type;
      if (!item.ReadDynamic(link, static_cast<uint32_t>(count - 1))) {
        Malformed = item.Malformed;
        return false;
      }
      count -= static_cast<int>(item.Size());
    } else {
      uint8_t reserved = 0;
      uint16_t length = 0;
      if (!ItemFits(3, static_cast<uint32_t>(count - 1), "UserInformation::ReadDynamic")) {
        Malformed = true;
        return false;
      }
      link >> reserved >> length;
      if (!ItemFits(length + 3u, static_cast<uint32_t>(count - 1),
                    "UserInformation::ReadDynamic") ||
          !ReadSubItemBody(link, type, length, *this)) {
        Malformed = true;
        return false;
      }
      count -= length + 4;
    }
    LogSubItem(type, count, *this);
  }
  if (link.ReadFailed())
    return false;
  if (count != 0) {
    WriteLog("WARNING, UserInformation::Read Count=" + std::to_string(count));
    return false;
  }
  return true;
}
