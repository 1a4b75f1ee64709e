#pragma once
// The data set codec: DcmObj <-> bytes in implicit VR little endian, explicit
// VR little endian and explicit VR big endian, and the DICOM file writer.
// Elements of groups 0000 and FFFE are always implicit VR.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class DcmTag;
class DcmObj;

class BufData {
public:
  explicit BufData(bool bigEndian = false);

  // Numbers on the wire are big-endian: element headers, and the binary values
  // (US, UL, FD, OW, ...) that WriteTag swaps when an element holds them in
  // the other byte order. Decoding leaves value bytes as they are.
  bool BigEndian;

  // Reads one element at the position. false: the element could not be read
  // (logged). A value longer than the rest of the stream keeps only the bytes
  // that are there (Length shrinks to them; logged as a warning).
  bool ReadTag(DcmTag &tag, bool explicitVR);
  // Writes one element at the position. In explicit VR a value too long for a
  // 16-bit length is written as UN, and an undefined length as SQ.
  void WriteTag(const DcmTag &tag, bool explicitVR);
  // Appends the elements from the position to the end of the stream, or up to
  // a zero (0000,0000) element; group 0002 is dropped. false when an element
  // could not be read (obj keeps the elements read so far).
  bool ReadObj(DcmObj &obj);
  // Writes every element of obj in list order (big-endian headers for the
  // explicit VR big endian transfer syntax).
  void WriteObj(const DcmObj &obj);
  // Preamble, "DICM" and the file meta information group.
  void WriteHeader(const std::string &sopClassUID, const std::string &sopInstanceUID,
                   const std::string &transferSyntaxUID);
  // Writes the whole stream to fileName (replacing it). false when the stream
  // is empty or the file cannot be written (logged).
  bool SaveToFile(const std::string &fileName);

  // The stream.
  void Assign(std::vector<uint8_t> bytes); // replaces the content, position 0
  void Assign(const void *bytes, size_t count);
  void Write(const void *bytes, size_t count); // at the position, growing as needed
  size_t Read(void *bytes, size_t count);      // from the position; bytes read
  void Seek(size_t position);                  // clamped to the size
  size_t Position() const { return pos_; }
  size_t Size() const { return stream_.size(); }
  const std::vector<uint8_t> &Bytes() const { return stream_; }
  std::vector<uint8_t> TakeBytes(); // empties the stream

private:
  bool ReadHeader(DcmTag &tag, bool explicitVR);
  void Put16(uint16_t value);
  void Put32(uint32_t value);
  void WriteValue(const DcmTag &tag);
  size_t Remaining() const { return stream_.size() - pos_; }

  std::vector<uint8_t> stream_;
  size_t pos_ = 0;
};
