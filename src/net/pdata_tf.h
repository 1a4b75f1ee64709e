#pragma once
// P-DATA-TF framing (PS3.8 9.3.5): message parts cut into PDVs, one PDV per PDU
// when writing; PDVs gathered until the last fragment when reading.
#include <cstdint>
#include <vector>

#include "net/buffer.h"

class PDataTF {
public:
  virtual ~PDataTF() = default;
  // After the type byte: takes PDVs until a last fragment or the end of the PDU.
  bool ReadDynamic(Buffer &link);
  // Sends the VRBuffer's outgoing bytes as PDUs of at most FragmentSize data bytes.
  bool Write(Buffer &link);

  uint8_t ItemType = 4;
  uint8_t Reserved1 = 0;
  uint32_t Length = 0;       // bytes of the incoming PDU not yet consumed
  uint32_t FragmentSize = 0; // 0: 4096
  Buffer VRBuffer;           // the outgoing message part
  // The PDV values of the incoming message part, gathered straight from the link
  // into the one stream that the message is decoded from.
  std::vector<uint8_t> IncomingValue;
  uint32_t MessageComplete = 0;
  uint32_t PDVItemLength = 0;
  uint8_t PDVPresentationContextID = 0;
  uint8_t PDVMessageControlHeader = 0;
  uint8_t PresentationContextID = 0;
  uint8_t MessageControlHeader = 0; // bit 0: command
  // Set when a PDU or PDV length broke the framing: the association is to be aborted.
  bool ProtocolError = false;
};
