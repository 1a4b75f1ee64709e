#include "raw_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace raw_peer {

UpperLayer& UpperLayer::u8(uint8_t v) {
  bytes.push_back(v);
  return *this;
}
UpperLayer& UpperLayer::u16(uint16_t v) { return u8(v >> 8).u8(v & 0xFF); }
UpperLayer& UpperLayer::u32(uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
UpperLayer& UpperLayer::text(const std::string& s) {
  bytes.insert(bytes.end(), s.begin(), s.end());
  return *this;
}
UpperLayer& UpperLayer::raw(const ByteString& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return *this;
}

namespace {
void PutLE(ByteString& to, uint32_t v, int size) {
  for (int i = 0; i < size; ++i)
    to.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t LE(const uint8_t* p, int size) {
  uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i)
    v = v << 8 | p[i];
  return v;
}

ByteString Item(uint8_t type, const ByteString& body) {
  return UpperLayer().u8(type).u8(0).u16(static_cast<uint16_t>(body.size())).raw(body).bytes;
}

ByteString TextItem(uint8_t type, const std::string& text) {
  return Item(type, ByteString(text.begin(), text.end()));
}

std::string AETitle(const std::string& title) {
  std::string field = title.substr(0, 16);
  field.resize(16, ' ');
  return field;
}

// The text of an implicit VR element found by a scan of the raw bytes.
std::string FindText(const ByteString& bytes, uint16_t group, uint16_t element) {
  for (size_t at = 0; at + 8 <= bytes.size(); ++at) {
    if (LE(&bytes[at], 2) != group || LE(&bytes[at + 2], 2) != element)
      continue;
    const uint32_t length = LE(&bytes[at + 4], 4);
    if (at + 8 + length > bytes.size())
      return {};
    std::string text(bytes.begin() + at + 8, bytes.begin() + at + 8 + length);
    while (!text.empty() && (text.back() == '\0' || text.back() == ' '))
      text.pop_back();
    return text;
  }
  return {};
}
} // namespace

Elements& Elements::header(uint16_t group, uint16_t element, uint32_t length) {
  PutLE(bytes, group, 2);
  PutLE(bytes, element, 2);
  PutLE(bytes, length, 4);
  return *this;
}
Elements& Elements::value(uint16_t group, uint16_t element, const std::string& value, char pad) {
  std::string padded = value;
  if (pad != 0 && padded.size() % 2 != 0)
    padded.push_back(pad);
  header(group, element, static_cast<uint32_t>(padded.size()));
  bytes.insert(bytes.end(), padded.begin(), padded.end());
  return *this;
}
Elements& Elements::uid(uint16_t group, uint16_t element, const std::string& uid) {
  return value(group, element, uid, '\0');
}
Elements& Elements::us(uint16_t group, uint16_t element, uint16_t v) {
  header(group, element, 2);
  PutLE(bytes, v, 2);
  return *this;
}
Elements& Elements::raw(const ByteString& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return *this;
}
Elements& Elements::sequence(uint16_t group, uint16_t element,
                             const std::vector<ByteString>& items) {
  header(group, element, 0xFFFFFFFF);
  for (const ByteString& item : items)
    header(0xFFFE, 0xE000, 0xFFFFFFFF).raw(item).header(0xFFFE, 0xE00D, 0);
  return header(0xFFFE, 0xE0DD, 0);
}

ByteString AssociateRQ(const std::string& calledAE, const std::string& callingAE,
                       const std::vector<std::string>& abstractSyntaxes) {
  UpperLayer items;
  items.raw(TextItem(0x10, "1.2.840.10008.3.1.1.1"));
  uint8_t id = 1;
  for (const std::string& syntax : abstractSyntaxes) {
    items.raw(Item(0x20, UpperLayer()
                             .u8(id)
                             .u8(0)
                             .u8(0)
                             .u8(0)
                             .raw(TextItem(0x30, syntax))
                             .raw(TextItem(0x40, "1.2.840.10008.1.2"))
                             .bytes));
    id += 2;
  }
  items.raw(Item(0x50, UpperLayer()
                           .raw(Item(0x51, UpperLayer().u32(16384).bytes))
                           .raw(TextItem(0x52, "1.2.3.4.5.6"))
                           .bytes));
  UpperLayer body;
  body.u16(1).u16(0).text(AETitle(calledAE)).text(AETitle(callingAE)).raw(ByteString(32, 0));
  body.raw(items.bytes);
  return UpperLayer().u8(1).u8(0).u32(static_cast<uint32_t>(body.bytes.size())).raw(body.bytes).bytes;
}

ByteString PData(uint8_t contextID, bool command, const ByteString& message, size_t fragment) {
  UpperLayer out;
  size_t at = 0;
  do {
    const size_t n = std::min(fragment, message.size() - at);
    const bool last = at + n == message.size();
    out.u8(4).u8(0).u32(static_cast<uint32_t>(n + 6)).u32(static_cast<uint32_t>(n + 2));
    out.u8(contextID).u8(static_cast<uint8_t>((command ? 1 : 0) | (last ? 2 : 0)));
    out.raw(ByteString(message.begin() + at, message.begin() + at + n));
    at += n;
  } while (at < message.size());
  return out.bytes;
}

ByteString CommandSet::Encode() const {
  Elements e;
  if (!affectedClass.empty())
    e.uid(0x0000, 0x0002, affectedClass);
  if (!requestedClass.empty())
    e.uid(0x0000, 0x0003, requestedClass);
  e.us(0x0000, 0x0100, field);
  e.us(0x0000, 0x0110, messageID);
  e.us(0x0000, 0x0800, dataSet ? 0x0102 : 0x0101);
  if (!affectedInstance.empty())
    e.uid(0x0000, 0x1000, affectedInstance);
  if (!requestedInstance.empty())
    e.uid(0x0000, 0x1001, requestedInstance);
  if (actionType >= 0)
    e.us(0x0000, 0x1008, static_cast<uint16_t>(actionType));
  Elements group;
  group.header(0x0000, 0x0000, 4);
  PutLE(group.bytes, static_cast<uint32_t>(e.bytes.size()), 4);
  return group.raw(e.bytes).bytes;
}

std::string Outcome::Text() const {
  if (kind != "status")
    return kind;
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", status & 0xFFFF);
  return text;
}

Peer::Peer(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    Close();
}

Peer::~Peer() { Close(); }

void Peer::Close() {
  if (fd_ >= 0)
    close(fd_);
  fd_ = -1;
}

bool Peer::Send(const ByteString& bytes) {
  for (size_t sent = 0; fd_ >= 0 && sent < bytes.size();) {
    const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0)
      return false;
    sent += static_cast<size_t>(n);
  }
  return fd_ >= 0;
}

bool Peer::ReceiveExactly(uint8_t* to, size_t n, int timeoutMs) {
  for (size_t got = 0; got < n;) {
    pollfd wait{fd_, POLLIN, 0};
    if (poll(&wait, 1, timeoutMs) <= 0)
      return false;
    const ssize_t r = recv(fd_, to + got, n - got, 0);
    if (r <= 0)
      return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

Outcome Peer::Receive(int timeoutMs) {
  if (timeoutMs == 0)
    timeoutMs = responseTimeoutMs_;
  Outcome outcome;
  if (fd_ < 0)
    return {"closed"};
  ByteString command;
  bool inDataSet = false;
  for (;;) {
    uint8_t header[6];
    pollfd wait{fd_, POLLIN, 0};
    if (poll(&wait, 1, timeoutMs) <= 0)
      return {inDataSet ? "status" : "nothing", outcome.status, outcome.affectedInstance};
    const ssize_t r = recv(fd_, header, 1, MSG_PEEK);
    if (r <= 0 || !ReceiveExactly(header, 6, timeoutMs)) {
      Close();
      return {"closed"};
    }
    const uint32_t length = uint32_t{header[2]} << 24 | header[3] << 16 | header[4] << 8 | header[5];
    ByteString body(std::min<uint32_t>(length, 1 << 20));
    if (body.size() != length || !ReceiveExactly(body.data(), body.size(), timeoutMs)) {
      Close();
      return {"closed"};
    }
    switch (header[0]) {
    case 2:
      return {"A-ASSOCIATE-AC"};
    case 3:
      return {"A-ASSOCIATE-RJ"};
    case 6:
      return {"A-RELEASE-RP"};
    case 7:
      return {"A-ABORT"};
    case 4:
      break;
    default:
      return {"unexpected PDU " + std::to_string(header[0])};
    }
    bool last = false;
    for (size_t at = 0; at + 6 <= body.size();) {
      const uint32_t pdv = uint32_t{body[at]} << 24 | body[at + 1] << 16 | body[at + 2] << 8 |
                           body[at + 3];
      if (pdv < 2 || at + 4 + pdv > body.size())
        return {"bad PDV"};
      const uint8_t control = body[at + 5];
      ByteString& to = (control & 1) ? command : outcome.dataSet;
      to.insert(to.end(), body.begin() + at + 6, body.begin() + at + 4 + pdv);
      last = control & 2;
      at += 4 + pdv;
    }
    if (!last)
      continue;
    if (inDataSet)
      return outcome;
    outcome.kind = "status";
    for (size_t at = 0; at + 8 <= command.size();) {
      const uint32_t tag = LE(&command[at], 4), length = LE(&command[at + 4], 4);
      if (tag == 0x09000000 && length == 2 && at + 10 <= command.size())
        outcome.status = static_cast<int>(LE(&command[at + 8], 2));
      at += 8 + length;
    }
    outcome.affectedInstance = FindText(command, 0x0000, 0x1000);
    // (0000,0800) other than 0x0101: a data set follows.
    const std::string type = FindText(command, 0x0000, 0x0800);
    if (type.size() == 2 && static_cast<uint8_t>(type[0]) == 0x01 &&
        static_cast<uint8_t>(type[1]) == 0x01)
      return outcome;
    inDataSet = true;
  }
}

Outcome Peer::RequestAssociation(const std::string& calledAE, const std::string& callingAE) {
  if (!Send(AssociateRQ(calledAE, callingAE, {kVerificationUID, kGrayscalePrintUID, kCTStorageUID})))
    return Outcome("closed");
  return Receive();
}

bool Peer::Associate(const std::string& calledAE, const std::string& callingAE) {
  return RequestAssociation(calledAE, callingAE).kind == "A-ASSOCIATE-AC";
}

Outcome Peer::Request(const CommandSet& command, const ByteString& dataSet, uint8_t contextID) {
  CommandSet numbered = command;
  numbered.messageID = messageID_++;
  numbered.dataSet = !dataSet.empty();
  ByteString bytes = PData(contextID, true, numbered.Encode());
  if (!dataSet.empty()) {
    const ByteString data = PData(contextID, false, dataSet);
    bytes.insert(bytes.end(), data.begin(), data.end());
  }
  if (!Send(bytes))
    return {"closed"};
  return Receive();
}

Outcome Peer::Echo() {
  CommandSet echo;
  echo.field = 0x0030;
  echo.affectedClass = kVerificationUID;
  return Request(echo, {}, kEchoContext);
}

Outcome Peer::Release() {
  Send(UpperLayer().u8(5).u8(0).u32(4).u32(0).bytes);
  return Receive();
}

std::string Peer::CreateSession(const ByteString& attributes) {
  CommandSet create;
  create.field = 0x0140;
  create.affectedClass = kFilmSessionUID;
  const ByteString data =
      attributes.empty() ? Elements().value(0x2000, 0x0010, "1").bytes : attributes;
  const Outcome outcome = Request(create, data);
  session_ = outcome.kind == "status" && outcome.status == 0 ? outcome.affectedInstance : "";
  return session_;
}

std::vector<std::string> Peer::CreateFilmBox(const std::string& session,
                                             const std::string& format,
                                             const std::string& filmSize) {
  CommandSet create;
  create.field = 0x0140;
  create.affectedClass = kFilmBoxUID;
  ByteString data = FilmBoxAttributes(format, filmSize);
  Elements reference;
  reference.uid(0x0008, 0x1150, kFilmSessionUID).uid(0x0008, 0x1155, session);
  data = Elements().raw(data).sequence(0x2010, 0x0500, {reference.bytes}).bytes;
  const Outcome outcome = Request(create, data);
  if (outcome.kind != "status" || outcome.status != 0)
    return {};
  // Every (0008,1155) of the Referenced Image Box Sequence: the image boxes.
  std::vector<std::string> boxes;
  const uint8_t sequenceTag[] = {0x10, 0x20, 0x10, 0x05};
  ByteString rest(std::search(outcome.dataSet.begin(), outcome.dataSet.end(), sequenceTag,
                              sequenceTag + 4),
                  outcome.dataSet.end());
  for (std::string uid; !(uid = FindText(rest, 0x0008, 0x1155)).empty();) {
    boxes.push_back(uid);
    const auto at = std::search(rest.begin(), rest.end(), uid.begin(), uid.end());
    rest.erase(rest.begin(), at + static_cast<long>(uid.size()));
  }
  return boxes;
}

Outcome Peer::SetImageBox(const std::string& imageBox, const ByteString& dataSet) {
  CommandSet set;
  set.field = 0x0120;
  set.requestedClass = kGrayscaleImageBoxUID;
  set.requestedInstance = imageBox;
  return Request(set, dataSet);
}

Outcome Peer::PrintSession(const std::string& session) {
  CommandSet action;
  action.field = 0x0130;
  action.requestedClass = kFilmSessionUID;
  action.requestedInstance = session;
  action.actionType = 1;
  return Request(action);
}

Outcome Peer::Delete(const std::string& classUID, const std::string& instance) {
  CommandSet remove;
  remove.field = 0x0150;
  remove.requestedClass = classUID;
  remove.requestedInstance = instance;
  return Request(remove);
}

ByteString GreyImage(uint16_t rows, uint16_t columns, uint16_t bitsAllocated,
                     const ByteString& pixels, const std::string& photometric) {
  Elements item;
  item.us(0x0028, 0x0002, 1)
      .value(0x0028, 0x0004, photometric)
      .us(0x0028, 0x0010, rows)
      .us(0x0028, 0x0011, columns)
      .us(0x0028, 0x0100, bitsAllocated)
      .us(0x0028, 0x0101, bitsAllocated == 16 ? 12 : bitsAllocated)
      .us(0x0028, 0x0102, bitsAllocated == 16 ? 11 : bitsAllocated - 1)
      .us(0x0028, 0x0103, 0)
      .header(0x7FE0, 0x0010, static_cast<uint32_t>(pixels.size() + pixels.size() % 2))
      .raw(pixels);
  if (pixels.size() % 2)
    item.bytes.push_back(0);
  return Elements()
      .us(0x2020, 0x0010, 1)
      .value(0x2020, 0x0020, "NORMAL")
      .sequence(0x2020, 0x0110, {item.bytes})
      .bytes;
}

ByteString FilmBoxAttributes(const std::string& format, const std::string& filmSize) {
  Elements e;
  e.value(0x2010, 0x0010, format);
  e.value(0x2010, 0x0040, "PORTRAIT");
  if (!filmSize.empty())
    e.value(0x2010, 0x0050, filmSize);
  return e.bytes;
}

} // namespace raw_peer
