#pragma once
// One data element of a data set or command set: tag, VR, length and the raw
// value bytes as they stand on the wire (no byte swapping on decode).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

class DcmObj;

// Length value of an element or item of undefined length.
inline constexpr uint32_t kUndefinedLength = 0xFFFFFFFF;

class DcmTag {
public:
  // Group 0, element 0, empty VR, no value.
  DcmTag();
  // Copies length bytes. length 0 or kUndefinedLength stores no value. An odd
  // length is padded to even: 0x00 for "UI", a space for every other VR.
  // An empty vr is taken from the dictionary ("UN" when unknown; "SQ" when
  // unknown and the length is undefined).
  DcmTag(uint16_t group, uint16_t element, uint32_t length, const void *bytes,
         std::string_view vr = {});
  // A 2-byte value, stored little-endian.
  DcmTag(uint16_t group, uint16_t element, unsigned short value, std::string_view vr = {});
  // A 4-byte value, stored little-endian.
  DcmTag(uint16_t group, uint16_t element, uint32_t value, std::string_view vr = {});
  // A two-letter VR literal after a number names the VR of the value, so that
  // DcmTag(g, e, (unsigned short)1, "US") never reads "US" as value bytes.
  template <size_t N>
  requires(N == 3)
      DcmTag(uint16_t group, uint16_t element, unsigned short value, const char (&vr)[N])
      : DcmTag(group, element, value, std::string_view(vr, 2)) {}
  template <size_t N>
  requires(N == 3) DcmTag(uint16_t group, uint16_t element, uint32_t value, const char (&vr)[N])
      : DcmTag(group, element, value, std::string_view(vr, 2)) {}
  // The characters of text, padded to even length as above.
  DcmTag(uint16_t group, uint16_t element, std::string_view text, std::string_view vr = {});

  DcmTag(const DcmTag &other);
  DcmTag &operator=(const DcmTag &other);
  DcmTag(DcmTag &&) noexcept = default;
  DcmTag &operator=(DcmTag &&) noexcept = default;
  virtual ~DcmTag();

  uint16_t Group = 0;
  uint16_t Element = 0;
  // Two letters; empty for items and delimiters and for implicit-VR elements
  // not yet looked up.
  std::string VR;
  // Value length in bytes; kUndefinedLength for undefined length.
  uint32_t Length = 0;
  // Exactly Length bytes; null when Length is 0 or kUndefinedLength.
  std::unique_ptr<uint8_t[]> Data;
  // The value bytes are big-endian (decoded from, or encoded for, big endian).
  bool BigEndian = false;
  // How many GetObj decodings this element's bytes came through; bounds the
  // depth of nested sequences that callers walk.
  uint16_t Nesting = 0;

  // The value bytes (empty when there is no Data).
  std::span<const uint8_t> Value() const;
  bool HasData() const { return Data != nullptr; }
  bool Is(uint16_t group, uint16_t element) const { return Group == group && Element == element; }
  bool UndefinedLength() const { return Length == kUndefinedLength; }

  // 0 unless Length is 2; otherwise the value in the element's byte order.
  unsigned short GetUShort() const;
  // The value text read as a decimal number (first value of a multi-valued
  // text); 0 when there is none.
  float GetFloat() const;
  // The value up to the first 0x00 byte, without leading and trailing
  // characters of code 0x20 or less.
  std::string GetString() const;
  // Sets VR from the dictionary; "UN" when the tag is not in it.
  void LookupVR();
  // The dictionary name of the tag, or "*** Unidentified ***".
  std::string GetName() const;
  // One dump line: "(gggg,eeee), len, VR, name: value".
  std::string Format() const;

  // Makes this element a sequence (or an item when group is FFFE) whose
  // value is the encoding of source's elements (source's Explicit flag and
  // byte order). source is not changed.
  void SetObj(uint16_t group, uint16_t element, const DcmObj &source);
  // Decodes the value bytes as elements (little-endian, target's Explicit
  // flag) and appends them to target. Decodes nothing when the element is
  // nested too deeply (logged).
  void GetObj(DcmObj &target) const;

  // Deepest nesting GetObj decodes.
  static constexpr uint16_t kMaxNesting = 64;

private:
  void SetValue(uint32_t length, const void *bytes);
  void SetVR(std::string_view vr);
};
