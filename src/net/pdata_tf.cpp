#include "net/pdata_tf.h"

#include "frame/event_log.h"
#include "net/pdu.h"

namespace {

// Largest message part gathered from PDVs: far above any print image or stored
// object this system takes, and well within the 32-bit byte counts of a Buffer.
constexpr uint32_t kMaxMessagePartLength = 1u << 30;

constexpr uint8_t kLastFragment = 0x02;

} // namespace

bool PDataTF::ReadDynamic(Buffer &link) {
  ProtocolError = false;
  if (Length == 0) {
    link >> Reserved1 >> Length;
    if (link.ReadFailed()) {
      Length = 0;
      return false;
    }
    // One PDV needs at least its 4-byte length, the context ID and the control header.
    if (Length < 6 || Length > kMaxIncomingPDULength) {
      WriteLog("ERROR, PDataTF::ReadDynamic, PDU Length=" + std::to_string(Length) +
               " out of bounds (6.." + std::to_string(kMaxIncomingPDULength) + ")");
      Length = 0;
      ProtocolError = true;
      return false;
    }
  }
  PDVMessageControlHeader = 0;
  while (Length != 0) {
    if (Length >= 6)
      link >> PDVItemLength >> PDVPresentationContextID >> PDVMessageControlHeader;
    if (link.ReadFailed()) {
      Length = 0;
      return false;
    }
    if (Length < 6 || PDVItemLength < 2 || PDVItemLength > Length - 4) {
      WriteLog("ERROR, PDataTF::ReadDynamic, PDV item length=" +
               std::to_string(Length < 6 ? 0 : PDVItemLength) + " with " + std::to_string(Length) +
               " bytes left in the PDU");
      Length = 0;
      ProtocolError = true;
      return false;
    }
    if (IncomingValue.size() + (PDVItemLength - 2) > kMaxMessagePartLength) {
      WriteLog("ERROR, PDataTF::ReadDynamic, message part longer than " +
               std::to_string(kMaxMessagePartLength));
      Length = 0;
      ProtocolError = true;
      return false;
    }
    if (!link.MoveIn(IncomingValue, PDVItemLength - 2)) {
      WriteLog("ERROR, PDataTF::ReadDynamic, VRBuffer.MoveIn");
      Length = 0;
      return false;
    }
    Length -= PDVItemLength + 4;
    if (PDVMessageControlHeader & kLastFragment) {
      MessageComplete = 1;
      PresentationContextID = PDVPresentationContextID;
      return true;
    }
  }
  MessageComplete = (PDVMessageControlHeader & kLastFragment) ? 1 : 0;
  PresentationContextID = PDVPresentationContextID;
  return true;
}

bool PDataTF::Write(Buffer &link) {
  uint32_t total = VRBuffer.OutgoingCount();
  uint32_t readingLength = Length;
  if (FragmentSize == 0)
    FragmentSize = 4096;
  uint32_t sent = 0;
  while (sent < total) {
    if (total - sent < FragmentSize)
      FragmentSize = total - sent;
    if (sent + FragmentSize == total)
      MessageControlHeader |= kLastFragment;
    else
      MessageControlHeader &= 0x01;
    Length = FragmentSize + 6;
    link << ItemType << Reserved1 << Length << (FragmentSize + 2) << PresentationContextID
         << MessageControlHeader;
    if (FragmentSize > 0)
      VRBuffer.MoveOut(link, FragmentSize);
    if (!link.Flush()) {
      WriteLog("ERROR, PDataTF::Write, failed Link.Flush");
      return false;
    }
    sent += FragmentSize;
  }
  Length = readingLength;
  return true;
}
