#pragma once
// A data set or command set: a flat, ordered list of owned elements with the
// transfer syntax it is (to be) encoded in. Sequences of undefined length are
// runs of entries bracketed by items and delimiters; sequences of defined
// length keep their encoded items as the element's value.
#include <memory>
#include <string>
#include <vector>

#include "dicom/dcm_tag.h"
#include "dicom/transfer_syntax.h"

class DcmObj {
public:
  DcmObj();
  DcmObj(DcmObj &&) noexcept = default;
  DcmObj &operator=(DcmObj &&) noexcept = default;
  DcmObj(const DcmObj &) = delete;
  DcmObj &operator=(const DcmObj &) = delete;
  virtual ~DcmObj();

  std::vector<std::unique_ptr<DcmTag>> Tags;
  std::string TransferSyntax = ts::ImplicitLittleEndian;
  bool Explicit = false;
  bool BigEndian = false;

  // Appends tag (ownership passes to the list); no duplicate check.
  void Add(DcmTag *tag);
  void Add(std::unique_ptr<DcmTag> tag);
  // Appends an element with the dictionary VR.
  void AddBytes(uint16_t group, uint16_t element, uint32_t length, const void *bytes);
  void AddString(uint16_t group, uint16_t element, std::string_view text);
  void AddUShort(uint16_t group, uint16_t element, unsigned short value);

  // Replaces the value of the first top-level element with the same tag
  // (keeping its VR and byte order), or inserts tag in tag order among the
  // top-level elements, or appends it. Takes ownership.
  void Insert(DcmTag *tag);
  void Insert(std::unique_ptr<DcmTag> tag);
  void InsertBytes(uint16_t group, uint16_t element, uint32_t length, const void *bytes);

  // The first top-level element with this tag (outside undefined-length
  // sequences), or null.
  DcmTag *Find(uint16_t group, uint16_t element) const;
  // DcmTag::GetUShort / GetString of the first top-level match; 0 / "" if none.
  unsigned short GetUShort(uint16_t group, uint16_t element) const;
  std::string GetString(uint16_t group, uint16_t element) const;

  // Entries in the list, items and their elements included.
  int Count() const;
  // The entry at position (still owned by the list), or null out of range.
  DcmTag *GetTag(int position) const;
  void Clear();

  // Appends one Format line per entry; command elements get their VR first.
  void Dump(std::vector<std::string> &lines);

  // Writes a DICOM file (preamble, file meta information, data set).
  bool Write(const std::string &fileName, const std::string &sopClassUID,
             const std::string &sopInstanceUID);
};
