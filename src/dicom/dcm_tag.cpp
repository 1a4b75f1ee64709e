#include "dicom/dcm_tag.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "dicom/buf_data.h"
#include "dicom/dcm_obj.h"
#include "dicom/dictionary.h"
#include "frame/event_log.h"

namespace {

bool IsBlank(uint8_t c) { return c <= 0x20; }

// The value bytes up to the first 0x00 byte.
std::string_view ValueText(std::span<const uint8_t> value) {
  if (value.empty())
    return {};
  const auto *chars = reinterpret_cast<const char *>(value.data());
  const void *nul = std::memchr(chars, 0, value.size());
  return {chars, nul ? static_cast<size_t>(static_cast<const char *>(nul) - chars) : value.size()};
}

} // namespace

DcmTag::DcmTag() = default;

DcmTag::DcmTag(uint16_t group, uint16_t element, uint32_t length, const void *bytes,
               std::string_view vr)
    : Group(group), Element(element) {
  Length = length;
  SetVR(vr);
  SetValue(length, bytes);
}

DcmTag::DcmTag(uint16_t group, uint16_t element, unsigned short value, std::string_view vr)
    : Group(group), Element(element) {
  const uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
  Length = 2;
  SetVR(vr);
  SetValue(2, bytes);
}

DcmTag::DcmTag(uint16_t group, uint16_t element, uint32_t value, std::string_view vr)
    : Group(group), Element(element) {
  const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                            uint8_t(value >> 24)};
  Length = 4;
  SetVR(vr);
  SetValue(4, bytes);
}

DcmTag::DcmTag(uint16_t group, uint16_t element, std::string_view text, std::string_view vr)
    : Group(group), Element(element) {
  Length = static_cast<uint32_t>(text.size());
  SetVR(vr);
  SetValue(Length, text.data());
}

DcmTag::DcmTag(const DcmTag &other)
    : Group(other.Group), Element(other.Element), VR(other.VR), Length(other.Length),
      BigEndian(other.BigEndian), Nesting(other.Nesting) {
  if (other.Data) {
    Data = std::make_unique_for_overwrite<uint8_t[]>(Length);
    std::memcpy(Data.get(), other.Data.get(), Length);
  }
}

DcmTag &DcmTag::operator=(const DcmTag &other) {
  if (this != &other)
    *this = DcmTag(other);
  return *this;
}

DcmTag::~DcmTag() = default;

void DcmTag::SetVR(std::string_view vr) {
  if (!vr.empty()) {
    VR = vr;
    return;
  }
  LookupVR();
  if (VR == "UN" && Length == kUndefinedLength)
    VR = "SQ";
}

// Copies length bytes and pads an odd length to even (0x00 for UIDs, a space
// otherwise), as PS3.5 6.2 asks.
void DcmTag::SetValue(uint32_t length, const void *bytes) {
  Data.reset();
  if (length == 0 || length == kUndefinedLength) {
    Length = length;
    return;
  }
  const bool odd = length & 1;
  Length = odd ? length + 1 : length;
  Data = std::make_unique_for_overwrite<uint8_t[]>(Length);
  if (bytes)
    std::memcpy(Data.get(), bytes, length);
  else
    std::memset(Data.get(), 0, length);
  if (odd)
    Data[length] = VR == "UI" ? 0x00 : 0x20;
}

std::span<const uint8_t> DcmTag::Value() const {
  if (!Data)
    return {};
  return {Data.get(), Length};
}

unsigned short DcmTag::GetUShort() const {
  if (Length != 2 || !Data)
    return 0;
  return BigEndian ? (Data[0] << 8) | Data[1] : Data[0] | (Data[1] << 8);
}

float DcmTag::GetFloat() const {
  std::string_view text = ValueText(Value());
  size_t start = 0;
  while (start < text.size() && IsBlank(static_cast<uint8_t>(text[start])))
    ++start;
  if (start < text.size() && text[start] == '+')
    ++start;
  float value = 0;
  const char *first = text.data() + start;
  if (std::from_chars(first, text.data() + text.size(), value).ec != std::errc())
    return 0;
  return value;
}

std::string DcmTag::GetString() const {
  std::string_view text = ValueText(Value());
  while (!text.empty() && IsBlank(static_cast<uint8_t>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(static_cast<uint8_t>(text.back())))
    text.remove_suffix(1);
  return std::string(text);
}

void DcmTag::LookupVR() {
  const DictStruct *entry = FindDictEntry(Group, Element);
  VR = entry ? entry->vr : "UN";
}

std::string DcmTag::GetName() const {
  const DictStruct *entry = FindDictEntry(Group, Element);
  return entry ? entry->description : "*** Unidentified ***";
}

std::string DcmTag::Format() const {
  char head[32];
  std::snprintf(head, sizeof head, "(%04X,%04X), %2d", Group, Element, static_cast<int>(Length));
  std::string line = head;
  line += ", " + VR + ", " + GetName() + ": ";
  if (VR == "SQ" || Length >= 255 || !Data)
    return line;

  char number[64];
  if (VR == "FL" || VR == "FD") {
    if (Length == 8) {
      double d;
      std::memcpy(&d, Data.get(), 8);
      std::snprintf(number, sizeof number, "%5.2f", d);
    } else {
      float f = 0;
      std::memcpy(&f, Data.get(), Length < 4 ? Length : 4);
      std::snprintf(number, sizeof number, "%5.2f", f);
    }
    line += number;
  } else if (VR == "SL" || VR == "SS" || VR == "UL" || VR == "US") {
    if (Length > 4) {
      line += "Vector!!";
    } else {
      uint32_t value = 0;
      for (uint32_t i = 0; i < Length; ++i)
        value |= uint32_t(Data[i]) << (8 * i);
      std::snprintf(number, sizeof number, "%d", static_cast<int>(value));
      line += number;
    }
  } else {
    line += ValueText(Value());
  }
  if (VR == "UI") {
    const std::string name = UIDName(std::string(ValueText(Value())));
    if (!name.empty())
      line += " (" + name + ") ";
  }
  return line;
}

void DcmTag::SetObj(uint16_t group, uint16_t element, const DcmObj &source) {
  BigEndian = source.BigEndian;
  Group = group;
  Element = element;
  VR = group == 0xFFFE ? "" : "SQ";
  BufData stream(source.BigEndian);
  for (const auto &tag : source.Tags)
    stream.WriteTag(*tag, source.Explicit);
  std::vector<uint8_t> bytes = stream.TakeBytes();
  if (bytes.size() & 1)
    bytes.push_back(0);
  Data.reset();
  Length = static_cast<uint32_t>(bytes.size());
  if (Length != 0) {
    Data = std::make_unique_for_overwrite<uint8_t[]>(Length);
    std::memcpy(Data.get(), bytes.data(), Length);
  }
}

void DcmTag::GetObj(DcmObj &target) const {
  if (!Data)
    return;
  if (Nesting >= kMaxNesting) {
    char line[96];
    std::snprintf(line, sizeof line,
                  "ERROR, DcmTag::GetObj, (%04X,%04X) nested deeper than %d levels", Group, Element,
                  kMaxNesting);
    WriteLog(line);
    return;
  }
  // The value is in the byte order it was encoded in (little-endian unless
  // it came from, or was made for, a big-endian stream).
  BufData stream(BigEndian);
  stream.Assign(Data.get(), Length);
  while (stream.Position() < stream.Size()) {
    auto tag = std::make_unique<DcmTag>();
    const size_t before = stream.Position();
    const bool read = stream.ReadTag(*tag, target.Explicit);
    if (read) {
      tag->Nesting = static_cast<uint16_t>(Nesting + 1);
      tag->BigEndian = BigEndian;
      if (!target.Explicit)
        tag->LookupVR();
      target.Add(std::move(tag));
    }
    // A failed read consumes the rest of the value.
    if (!read || stream.Position() == before)
      break;
  }
}
