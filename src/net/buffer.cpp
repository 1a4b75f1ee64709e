#include "net/buffer.h"

#include <algorithm>
#include <cstring>

#include "frame/event_log.h"

bool Buffer::Write(const void *bytes, uint32_t n) {
  const uint8_t *next = static_cast<const uint8_t *>(bytes);
  outgoingCount += n;
  while (n > 0) {
    if (outgoing.empty() || outgoing.back().position == outgoing.back().capacity)
      outgoing.emplace_back(kBlockSize);
    BufferSpace &last = outgoing.back();
    uint32_t fit = std::min(n, last.capacity - last.position);
    std::memcpy(last.data.get() + last.position, next, fit);
    last.position += fit;
    next += fit;
    n -= fit;
  }
  return true;
}

bool Buffer::Flush() {
  bool allSent = true;
  for (BufferSpace &block : outgoing) {
    if (block.position > block.movedOut &&
        !dsocket.SendBinary(block.data.get() + block.movedOut, block.position - block.movedOut)) {
      WriteLog("ERROR, Buffer::Flush, failed socket::SendBinary, mem=" +
               std::to_string(UsedMemoryMB()));
      allSent = false;
    }
  }
  outgoing.clear();
  outgoingCount = 0;
  return allSent;
}

bool Buffer::ReadBlock() {
  // Received straight into a chunk-sized block. A short receive moves to a block
  // of its own size: queued bytes that a peer sends one at a time must not hold
  // a whole chunk each.
  BufferSpace block(kReceiveChunk);
  long received;
  do {
    received = dsocket.ReadBinary(block.data.get(), kReceiveChunk);
  } while (received == 0);
  if (received < 0) {
    WriteLog("ERROR, Buffer::ReadBlock, Error from ReadBinary()");
    return false;
  }
  if (received < kReceiveChunk / 2) {
    BufferSpace exact(static_cast<uint32_t>(received));
    std::memcpy(exact.data.get(), block.data.get(), static_cast<size_t>(received));
    block = std::move(exact);
  }
  block.capacity = static_cast<uint32_t>(received);
  incoming.push_back(std::move(block));
  incomingCount += static_cast<uint32_t>(received);
  return true;
}

bool Buffer::TakeFront(uint8_t *destination, uint32_t n) {
  while (n > 0) {
    BufferSpace &front = incoming.front();
    uint32_t take = std::min(n, front.capacity - front.position);
    if (destination != nullptr) {
      std::memcpy(destination, front.data.get() + front.position, take);
      destination += take;
    }
    front.position += take;
    incomingCount -= take;
    n -= take;
    if (front.position == front.capacity)
      incoming.pop_front();
  }
  return true;
}

bool Buffer::Read(void *destination, uint32_t n) {
  while (incomingCount < n) {
    if (!ReadBlock()) {
      WriteLog("ERROR, Buffer::Read, failed ReadBlock");
      readFailed = true;
      return false;
    }
  }
  return TakeFront(static_cast<uint8_t *>(destination), n);
}

bool Buffer::Skip(uint32_t n) {
  // Taken block by block so that a large count reserves nothing.
  while (n > 0) {
    if (incomingCount == 0 && !ReadBlock()) {
      WriteLog("ERROR, Buffer::Read, failed ReadBlock");
      readFailed = true;
      return false;
    }
    uint32_t take = std::min(n, incomingCount);
    TakeFront(nullptr, take);
    n -= take;
  }
  return true;
}

bool Buffer::MoveIn(std::vector<uint8_t> &destination, uint32_t n) {
  // Each step takes only bytes that have arrived, so an untrusted n never
  // reserves memory ahead of the data.
  while (n > 0) {
    if (incomingCount == 0 && !ReadBlock()) {
      readFailed = true;
      WriteLog("ERROR, Buffer::MoveIn, in->Read");
      return false;
    }
    BufferSpace &front = incoming.front();
    const uint32_t take = std::min(n, front.capacity - front.position);
    const uint8_t *start = front.data.get() + front.position;
    destination.insert(destination.end(), start, start + take);
    TakeFront(nullptr, take);
    n -= take;
  }
  return true;
}

bool Buffer::MoveOut(Buffer &destination, uint32_t n) {
  if (outgoingCount < n) {
    WriteLog("ERROR, Buffer::MoveOut, Outsize<Byte");
    return false;
  }
  outgoingCount -= n;
  while (n > 0) {
    BufferSpace &front = outgoing.front();
    const uint32_t take = std::min(n, front.position - front.movedOut);
    destination.Write(front.data.get() + front.movedOut, take);
    n -= take;
    front.movedOut += take;
    if (front.movedOut == front.position)
      outgoing.pop_front();
  }
  return true;
}

bool Buffer::SetIncomingEndian(int order) {
  incomingEndian = order;
  return true;
}

bool Buffer::SetOutgoingEndian(int order) {
  outgoingEndian = order;
  return true;
}

Buffer &Buffer::operator>>(uint8_t &value) {
  value = 0;
  Read(&value, 1);
  return *this;
}

Buffer &Buffer::operator>>(uint16_t &value) {
  uint8_t b[2] = {};
  if (!Read(b, 2))
    b[0] = b[1] = 0;
  value = incomingEndian == kLittleEndian ? static_cast<uint16_t>(b[0] | b[1] << 8)
                                          : static_cast<uint16_t>(b[0] << 8 | b[1]);
  return *this;
}

Buffer &Buffer::operator>>(uint32_t &value) {
  uint16_t h0 = 0, h1 = 0;
  *this >> h0 >> h1;
  value = incomingEndian == kLittleEndian ? h0 | uint32_t{h1} << 16 : uint32_t{h0} << 16 | h1;
  return *this;
}

Buffer &Buffer::operator<<(uint8_t value) {
  Write(&value, 1);
  return *this;
}

Buffer &Buffer::operator<<(uint16_t value) {
  uint8_t b[2];
  if (outgoingEndian == kLittleEndian) {
    b[0] = static_cast<uint8_t>(value);
    b[1] = static_cast<uint8_t>(value >> 8);
  } else {
    b[0] = static_cast<uint8_t>(value >> 8);
    b[1] = static_cast<uint8_t>(value);
  }
  Write(b, 2);
  return *this;
}

Buffer &Buffer::operator<<(uint32_t value) {
  uint16_t low = static_cast<uint16_t>(value), high = static_cast<uint16_t>(value >> 16);
  if (outgoingEndian == kLittleEndian)
    *this << low << high;
  else
    *this << high << low;
  return *this;
}
