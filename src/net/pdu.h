#pragma once
// The association-control PDUs (PS3.8 9.3): A-ASSOCIATE-RQ/AC/RJ, A-RELEASE-RQ/RP
// and A-ABORT. Multi-byte fields are big-endian; the Link is set so by PDU_Service.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/pdu_items.h"

class Buffer;

// Largest incoming PDU accepted. This side announces 16384; peers that ignore it
// rarely go beyond DCMTK's largest receive size (131072). 1 MiB leaves room for
// those and still bounds what one bad length field can make us wait for.
inline constexpr uint32_t kMaxIncomingPDULength = 1u << 20;

// Shared layout of A-ASSOCIATE-RQ and -AC.
class AAssociatePDU {
public:
  explicit AAssociatePDU(uint8_t type);
  virtual ~AAssociatePDU() = default;
  void SetCalledApTitle(const std::string &title);
  void SetCallingApTitle(const std::string &title);
  void SetApplicationContext(const std::string &uid) { AppContext.Set(0x10, uid); }

  uint8_t ItemType;
  uint8_t Reserved1 = 0;
  uint32_t Length = 0;
  uint16_t ProtocolVersion = 1;
  uint16_t Reserved2 = 0;
  std::string CalledApTitle;  // up to 16 characters
  std::string CallingApTitle; // up to 16 characters
  uint8_t Reserved3[32] = {};
  UIDitem AppContext{0x10, "1.2.840.10008.3.1.1.1"};
  UserInformation UserInfo;
  // Set when the PDU broke its framing or a limit: the association is to be aborted.
  bool Malformed = false;

protected:
  // The 74 fixed bytes, then a flush.
  bool WriteHeader(Buffer &link);
  // After the type byte: the fixed fields; false when the PDU length is out of bounds.
  bool ReadHeader(Buffer &link);
  void DumpHeader(const char *title) const;
  // Reads the items after the header into AppContext, list (items of listType)
  // and UserInfo; count ends as the bytes of the PDU left over. false: an
  // unknown item type, after which the rest of the PDU was skipped (count -1).
  template <class Item>
  bool ReadItems(Buffer &link, uint8_t listType, std::vector<std::unique_ptr<Item>> &list,
                 int64_t &count);
};

class AAssociateRQ : public AAssociatePDU {
public:
  AAssociateRQ() : AAssociatePDU(0x01) {}
  void AddPresentationContext(std::unique_ptr<PresentationContext> context);
  uint32_t Size();
  bool Write(Buffer &link);
  // Reads the type byte, then the rest of the PDU.
  bool Read(Buffer &link);
  bool ReadDynamic(Buffer &link);

  std::vector<std::unique_ptr<PresentationContext>> PresContexts;
};

class AAssociateAC : public AAssociatePDU {
public:
  AAssociateAC() : AAssociatePDU(0x02) {}
  void AddPresentationContextAccept(std::unique_ptr<PresentationContextAccept> accept);
  uint32_t Size();
  bool Write(Buffer &link);
  bool ReadDynamic(Buffer &link);

  std::vector<std::unique_ptr<PresentationContextAccept>> PresContextAccepts;
};

class AAssociateRJ {
public:
  virtual ~AAssociateRJ() = default;
  bool ReadDynamic(Buffer &link);

  uint8_t ItemType = 3;
  uint8_t Reserved1 = 0;
  uint32_t Length = 0;
  uint8_t Reserved2 = 0;
  uint8_t Result = 1;
  uint8_t Source = 3;
  uint8_t Reason = 1;
};

// A-RELEASE-RQ (5) and A-RELEASE-RP (6).
class AReleasePDU {
public:
  explicit AReleasePDU(uint8_t type) : ItemType(type) {}
  bool Write(Buffer &link);
  bool ReadDynamic(Buffer &link);
  bool Read(Buffer &link);
  static constexpr uint32_t Size() { return 10; }

  uint8_t ItemType;
  uint8_t Reserved1 = 0;
  uint32_t Length = 4;
  uint32_t Reserved2 = 0;
};

class AReleaseRQ : public AReleasePDU {
public:
  AReleaseRQ() : AReleasePDU(0x05) {}
};

class AReleaseRP : public AReleasePDU {
public:
  AReleaseRP() : AReleasePDU(0x06) {}
};

// Source 2 = DICOM UL service provider (PS3.8 9.3.8); Reason 0 = not specified,
// 2 = unexpected PDU.
class AAbortRQ {
public:
  static constexpr uint8_t kReasonNotSpecified = 0;
  static constexpr uint8_t kReasonUnexpectedPDU = 2;
  bool Write(Buffer &link);
  static constexpr uint32_t Size() { return 10; }

  uint8_t ItemType = 7;
  uint8_t Reserved1 = 0;
  uint32_t Length = 4;
  uint8_t Reserved2 = 0, Reserved3 = 0;
  uint8_t Source = 2;
  uint8_t Reason = kReasonNotSpecified;
};
