#include "dicom/buf_data.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "dicom/dcm_obj.h"
#include "dicom/make_uid.h"
#include "frame/event_log.h"

namespace {

constexpr size_t kPreambleSize = 128;
constexpr size_t kGroupLengthValueOffset = 140; // value of (0002,0000)
constexpr size_t kMetaStart = 144;              // first byte after (0002,0000)

// Groups whose elements are implicit VR in every transfer syntax: commands,
// and items and delimiters.
bool AlwaysImplicit(uint16_t group) { return group == 0x0000 || group == 0xFFFE; }

// VRs with the reserved field and a 32-bit length in explicit VR (PS3.5 7.1.2).
bool LongLengthVR(std::string_view vr) {
  static constexpr std::string_view kLong[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ",
                                               "SV", "UC", "UN", "UR", "UT", "UV"};
  for (std::string_view v : kLong)
    if (vr == v)
      return true;
  return false;
}

// Size of the numbers of a binary VR, 0 for texts, bytes and sequences.
size_t NumberSize(std::string_view vr) {
  if (vr == "US" || vr == "SS" || vr == "OW" || vr == "AT")
    return 2;
  if (vr == "UL" || vr == "SL" || vr == "FL" || vr == "OF" || vr == "OL")
    return 4;
  if (vr == "FD" || vr == "OD" || vr == "SV" || vr == "UV" || vr == "OV")
    return 8;
  return 0;
}

std::string TagText(const DcmTag &tag) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X,%04X", tag.Group, tag.Element);
  return text;
}

} // namespace

BufData::BufData(bool bigEndian) : BigEndian(bigEndian) {}

void BufData::Assign(std::vector<uint8_t> bytes) {
  stream_ = std::move(bytes);
  pos_ = 0;
}

void BufData::Assign(const void *bytes, size_t count) {
  const auto *first = static_cast<const uint8_t *>(bytes);
  stream_.assign(first, first + count);
  pos_ = 0;
}

void BufData::Write(const void *bytes, size_t count) {
  const auto *first = static_cast<const uint8_t *>(bytes);
  const size_t overwrite = std::min(count, stream_.size() - pos_);
  if (overwrite > 0)
    std::memcpy(stream_.data() + pos_, first, overwrite);
  stream_.insert(stream_.end(), first + overwrite, first + count);
  pos_ += count;
}

size_t BufData::Read(void *bytes, size_t count) {
  const size_t n = std::min(count, Remaining());
  if (n > 0)
    std::memcpy(bytes, stream_.data() + pos_, n);
  pos_ += n;
  return n;
}

void BufData::Seek(size_t position) { pos_ = std::min(position, stream_.size()); }

std::vector<uint8_t> BufData::TakeBytes() {
  pos_ = 0;
  return std::exchange(stream_, {});
}

void BufData::Put16(uint16_t value) {
  const uint8_t b[2] = {uint8_t(BigEndian ? value >> 8 : value),
                        uint8_t(BigEndian ? value : value >> 8)};
  Write(b, 2);
}

void BufData::Put32(uint32_t value) {
  uint8_t b[4];
  for (int i = 0; i < 4; ++i)
    b[BigEndian ? 3 - i : i] = uint8_t(value >> (8 * i));
  Write(b, 4);
}

bool BufData::ReadHeader(DcmTag &tag, bool explicitVR) {
  auto get16 = [this]() {
    const uint8_t *p = stream_.data() + pos_;
    pos_ += 2;
    return static_cast<uint16_t>(BigEndian ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8));
  };
  auto get32 = [this]() {
    const uint8_t *p = stream_.data() + pos_;
    pos_ += 4;
    return BigEndian ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                     : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  };
  // Every header form is 8 bytes up to its length field, 12 for the long form.
  if (Remaining() < 8)
    return false;
  tag.Group = get16();
  tag.Element = get16();
  tag.VR.clear();
  if (explicitVR && !AlwaysImplicit(tag.Group)) {
    const char vr[2] = {static_cast<char>(stream_[pos_]), static_cast<char>(stream_[pos_ + 1])};
    pos_ += 2;
    tag.VR.assign(vr, vr[0] == 0 ? 0 : vr[1] == 0 ? 1 : 2);
    if (LongLengthVR(tag.VR)) {
      if (Remaining() < 6)
        return false;
      pos_ += 2;
      tag.Length = get32();
    } else {
      tag.Length = get16();
    }
  } else {
    tag.Length = get32();
  }
  return true;
}

bool BufData::ReadTag(DcmTag &tag, bool explicitVR) {
  tag.Data.reset();
  tag.Length = 0;
  if (!ReadHeader(tag, explicitVR)) {
    WriteLog("ERROR: BufData::ReadTag, (" + TagText(tag) + ") tag->length=" +
             std::to_string(tag.Length) + ", MS Size=" + std::to_string(int64_t(Size())) +
             ", MS Pos=" + std::to_string(int64_t(pos_)));
    pos_ = Size();
    return false;
  }
  if (tag.Length == 0 || tag.Length == kUndefinedLength)
    return true;

  // Never reserve more than the stream still holds: a value longer than the
  // rest of the stream keeps only the bytes that are there.
  if (tag.Length > Remaining()) {
    WriteLog("WARNING, BufData::ReadTag, read bytes!=tag->length (" + TagText(tag) + ") count=" +
             std::to_string(Remaining()) + ", tag->length=" + std::to_string(tag.Length));
    tag.Length = static_cast<uint32_t>(Remaining());
    if (tag.Length == 0)
      return true;
  }
  try {
    tag.Data = std::make_unique_for_overwrite<uint8_t[]>(tag.Length);
  } catch (const std::bad_alloc &) {
    WriteLog("ERROR, BufData::ReadTag, assigning memory to tag->data");
    tag.Length = 0;
    return false;
  }
  Read(tag.Data.get(), tag.Length);
  return true;
}

void BufData::WriteValue(const DcmTag &tag) {
  const size_t unit = NumberSize(tag.VR);
  if (unit < 2 || tag.BigEndian == BigEndian || tag.Length % unit != 0) {
    Write(tag.Data.get(), tag.Length);
    return;
  }
  // The value was built or received in the other byte order: swap each number.
  const size_t start = pos_;
  Write(tag.Data.get(), tag.Length);
  for (uint8_t *p = stream_.data() + start; p < stream_.data() + start + tag.Length; p += unit)
    std::reverse(p, p + unit);
}

void BufData::WriteTag(const DcmTag &tag, bool explicitVR) {
  Put16(tag.Group);
  Put16(tag.Element);
  if (explicitVR && !AlwaysImplicit(tag.Group)) {
    std::string_view vr = tag.VR;
    // A 16-bit length cannot hold these: an undefined length belongs to a
    // sequence, and an oversized value is written as UN as PS3.5 6.2.2 allows.
    if (!LongLengthVR(vr) && tag.UndefinedLength())
      vr = "SQ";
    else if (!LongLengthVR(vr) && tag.Length > 0xFFFF)
      vr = "UN";
    const char chars[2] = {vr.size() > 0 ? vr[0] : '\0', vr.size() > 1 ? vr[1] : '\0'};
    Write(chars, 2);
    if (LongLengthVR(vr)) {
      Put16(0);
      Put32(tag.Length);
    } else {
      Put16(static_cast<uint16_t>(tag.Length));
    }
  } else {
    Put32(tag.Length);
  }
  if (tag.Data && tag.Length != kUndefinedLength)
    WriteValue(tag);
}

bool BufData::ReadObj(DcmObj &obj) {
  const size_t size = Size();
  while (pos_ < size) {
    auto tag = std::make_unique<DcmTag>();
    if (!ReadTag(*tag, obj.Explicit))
      return false;
    if (tag->Group == 0 && tag->Element == 0 && tag->Length == 0)
      return true; // trailing padding ends the data
    tag->BigEndian = BigEndian;
    if (!obj.Explicit) {
      tag->LookupVR();
      if (tag->VR == "UN" && tag->UndefinedLength())
        tag->VR = "SQ";
    }
    if (tag->Group != 0x0002)
      obj.Add(std::move(tag));
  }
  return true;
}

void BufData::WriteObj(const DcmObj &obj) {
  if (obj.TransferSyntax == ts::ExplicitBigEndian)
    BigEndian = true;
  size_t expected = Size();
  for (const auto &tag : obj.Tags)
    expected += 12 + (tag->Data ? tag->Length : 0);
  stream_.reserve(expected);
  for (const auto &tag : obj.Tags)
    WriteTag(*tag, obj.Explicit);
}

void BufData::WriteHeader(const std::string &sopClassUID, const std::string &sopInstanceUID,
                          const std::string &transferSyntaxUID) {
  // The file meta information is explicit VR little endian in every file.
  const bool bigEndian = std::exchange(BigEndian, false);
  const uint8_t preamble[kPreambleSize] = {};
  Write(preamble, sizeof preamble);
  Write("DICM", 4);
  WriteTag(DcmTag(0x0002, 0x0000, uint32_t(0), "UL"), true);
  const uint8_t version[2] = {0x00, 0x01};
  WriteTag(DcmTag(0x0002, 0x0001, 2, version, "OB"), true);
  WriteTag(DcmTag(0x0002, 0x0002, sopClassUID, "UI"), true);
  WriteTag(DcmTag(0x0002, 0x0003, sopInstanceUID, "UI"), true);
  WriteTag(DcmTag(0x0002, 0x0010, transferSyntaxUID, "UI"), true);
  WriteTag(DcmTag(0x0002, 0x0012, std::string_view(kImplementationClassUID), "UI"), true);
  WriteTag(DcmTag(0x0002, 0x0013, std::string_view(kImplementationVersionName), "SH"), true);
  const size_t end = pos_;
  pos_ = kGroupLengthValueOffset;
  Put32(static_cast<uint32_t>(end - kMetaStart));
  pos_ = end;
  BigEndian = bigEndian;
}

bool BufData::SaveToFile(const std::string &fileName) {
  if (stream_.empty()) {
    WriteLog("ERROR, BufData::SaveToFile, ms->Size==0");
    return false;
  }
  std::FILE *file = std::fopen(fileName.c_str(), "wb");
  if (!file) {
    WriteLog("ERROR, BufData::SaveToFile, " + std::string(std::strerror(errno)));
    return false;
  }
  const bool written = std::fwrite(stream_.data(), 1, stream_.size(), file) == stream_.size();
  const int writeError = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    const int error = !written ? writeError : errno;
    WriteLog("ERROR, BufData::SaveToFile, " +
             (error ? std::string(std::strerror(error)) : std::string("Exception")));
    std::remove(fileName.c_str()); // no partial file stays behind
    return false;
  }
  return true;
}
