#pragma once
// Byte queues of one connection: outgoing bytes are gathered in blocks and sent
// as one unit by Flush; incoming bytes are received in chunks and taken by the
// PDU readers exactly as needed. A Buffer whose socket is never connected is a
// plain in-memory queue (the outgoing P-DATA value buffer).
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "net/socket.h"

// One block of a queue. In an incoming block `position` counts the bytes already
// taken, in an outgoing block the bytes filled, of which the first `movedOut`
// have gone to another queue.
struct BufferSpace {
  explicit BufferSpace(uint32_t size) : capacity(size), data(size ? new uint8_t[size] : nullptr) {}
  uint32_t capacity;
  uint32_t position = 0;
  uint32_t movedOut = 0;
  std::unique_ptr<uint8_t[]> data;
};

class Buffer {
public:
  static constexpr uint32_t kBlockSize = 32600;
  // Largest receive per ReadBlock.
  static constexpr uint32_t kReceiveChunk = 16384;
  static constexpr int kLittleEndian = 1;
  static constexpr int kBigEndian = 2;

  Buffer() = default;
  virtual ~Buffer() = default;
  Buffer(const Buffer &) = delete;
  Buffer &operator=(const Buffer &) = delete;

  bool Write(const void *bytes, uint32_t n);
  bool Flush();
  bool Read(void *destination, uint32_t n);
  bool ReadBlock();
  bool Skip(uint32_t n);
  // Appends n incoming bytes to destination, block by block as they arrive
  // (nothing is reserved ahead of the bytes).
  bool MoveIn(std::vector<uint8_t> &destination, uint32_t n);
  // Moves n queued outgoing bytes of this Buffer to destination's outgoing queue.
  bool MoveOut(Buffer &destination, uint32_t n);
  bool SetIncomingEndian(int order);
  bool SetOutgoingEndian(int order);

  // Extraction gives 0 when the read failed; the failure shows as a closed socket
  // and in ReadFailed().
  Buffer &operator>>(uint8_t &value);
  Buffer &operator>>(uint16_t &value);
  Buffer &operator>>(uint32_t &value);
  Buffer &operator<<(uint8_t value);
  Buffer &operator<<(uint16_t value);
  Buffer &operator<<(uint32_t value);

  uint32_t IncomingCount() const { return incomingCount; }
  uint32_t OutgoingCount() const { return outgoingCount; }
  // True once any Read on this Buffer failed.
  bool ReadFailed() const { return readFailed; }

  Socket dsocket;

private:
  bool TakeFront(uint8_t *destination, uint32_t n);

  int incomingEndian = kLittleEndian;
  int outgoingEndian = kLittleEndian;
  std::deque<BufferSpace> incoming;
  std::deque<BufferSpace> outgoing;
  uint32_t incomingCount = 0;
  uint32_t outgoingCount = 0;
  bool readFailed = false;
};
