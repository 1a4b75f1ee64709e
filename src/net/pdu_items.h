#pragma once
// Items and sub-items of the association PDUs (PS3.8 9.3), in memory and on the
// wire. Readers are called after the item type byte was taken from the stream.
// A reader's false result is a warning unless it also sets Malformed: then the
// item broke the framing or its limits and the association must be aborted.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Buffer;

// Longest UID or name a text sub-item may hold (the DICOM UID limit).
inline constexpr uint16_t kMaxUIDTextLength = 64;
// No limit on the bytes an enclosing item has left.
inline constexpr uint32_t kUnbounded = 0xFFFFFFFFu;

// The process-wide presentation context counter; it also numbers C-STORE requests.
void ResetPresentationContextCounter(); // to 1
uint8_t NextPresentationContextID();    // the next odd value
uint8_t NextAcceptContextID();          // the current value, any parity
uint16_t NextMessageID();               // the next odd value, 16 bits

class UIDitem {
public:
  explicit UIDitem(uint8_t type = 0, std::string text = {});
  void Set(uint8_t type, const std::string &text);
  bool Write(Buffer &link);
  // room: bytes the enclosing item has left after this item's type byte.
  bool ReadDynamic(Buffer &link, uint32_t room = kUnbounded);
  uint32_t Size() const { return Length + 4u; }

  uint8_t ItemType;
  uint8_t Reserved1 = 0;
  uint16_t Length = 0;
  std::string Text;
  bool Malformed = false;
};

class PresentationContext {
public:
  PresentationContext(); // ID from the presentation context counter
  void SetAbstractSyntax(const std::string &uid);
  void AddTransferSyntax(const std::string &uid);
  bool Write(Buffer &link);
  bool ReadDynamic(Buffer &link, uint32_t room = kUnbounded);
  uint32_t Size();

  uint8_t ItemType = 0x20;
  uint8_t Reserved1 = 0;
  uint16_t Length = 0;
  uint8_t PresentationContextID;
  uint8_t Reserved2 = 0, Reserved3 = 0, Reserved4 = 0;
  UIDitem AbsSyntax{0x30};
  std::vector<std::unique_ptr<UIDitem>> TrnSyntaxes;
  bool Malformed = false;
};

class PresentationContextAccept {
public:
  PresentationContextAccept(); // ID from the presentation context counter
  void SetAbstractSyntax(const std::string &uid);
  void SetTransferSyntax(const std::string &uid);
  bool Write(Buffer &link);
  bool ReadDynamic(Buffer &link, uint32_t room = kUnbounded);
  uint32_t Size();

  uint8_t ItemType = 0x21;
  uint8_t Reserved1 = 0;
  uint16_t Length = 0;
  uint8_t PresentationContextID;
  uint8_t Reserved2 = 0;
  uint8_t Result = 2; // 0 acceptance, 4 transfer syntaxes not supported
  uint8_t Reserved4 = 0;
  UIDitem AbsSyntax{0x30}; // kept in memory only
  UIDitem TrnSyntax{0x40};
  bool Malformed = false;
};

struct MaxSubLength {
  uint8_t ItemType = 0x51;
  uint8_t Reserved1 = 0;
  uint16_t Length = 4;
  uint32_t MaximumLength = 0;
};

struct AsyncOpWindow {
  uint8_t ItemType = 0x53;
  uint8_t Reserved1 = 0;
  uint16_t Length = 0;
  uint16_t MaxInvoked = 0;
  uint16_t MaxPerformed = 0;
};

struct SCPSCURole {
  uint8_t ItemType = 0x54;
  uint8_t Reserved1 = 0;
  uint16_t Length = 0;
  std::string SOPClassUID; // at most 64 characters
  uint8_t SCURole = 0;
  uint8_t SCPRole = 0;
};

struct UserIdentity {
  uint8_t ItemType = 0x58;
  uint8_t Reserved1 = 0;
  uint16_t Length = 0;
  uint8_t IdentityType = 0;
  uint8_t PositiveResponseRequested = 0;
  std::string PrimaryField;
  std::string SecondaryField;
  // Type 2 (user name and passcode), positive response requested.
  void Set(const std::string &userName, const std::string &passcode);
  bool Write(Buffer &link);
};

struct UserIdentityResponse {
  uint8_t ItemType = 0x59;
  uint8_t Reserved1 = 0;
  uint16_t Length = 0;
  std::string ServerResponse;
};

class UserInformation {
public:
  UserInformation();
  void SetMaximumLength(uint32_t length) { MaxLength.MaximumLength = length; }
  void SetImplementationClass(const std::string &uid) { ImpClass.Set(0x52, uid); }
  void SetImplementationVersion(const std::string &name) { ImpVersion.Set(0x55, name); }
  void SetUserIdentity(const std::string &userName, const std::string &passcode);
  bool Write(Buffer &link);
  bool ReadDynamic(Buffer &link, uint32_t room = kUnbounded);
  uint32_t Size();

  uint8_t ItemType = 0x50;
  uint8_t Reserved1 = 0;
  uint16_t Length = 0;
  MaxSubLength MaxLength;
  AsyncOpWindow AsyncWindow;
  SCPSCURole Role;
  UIDitem ImpClass{0x52};
  UIDitem ImpVersion{0x55};
  UserIdentity Identity;
  UserIdentityResponse IdentityResponse;
  bool Malformed = false;
};
