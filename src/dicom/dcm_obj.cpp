#include "dicom/dcm_obj.h"

#include "dicom/buf_data.h"

namespace {

bool IsItem(const DcmTag &tag) { return tag.Is(0xFFFE, 0xE000); }
bool IsItemEnd(const DcmTag &tag) { return tag.Is(0xFFFE, 0xE00D); }
bool IsSequenceEnd(const DcmTag &tag) { return tag.Is(0xFFFE, 0xE0DD); }
bool OpensSequence(const DcmTag &tag) { return tag.VR == "SQ" && tag.UndefinedLength(); }

// Nesting level of a walk over the flat list. An unmatched delimiter does not
// take it below the top level, so a stray one cannot hide later elements.
void Leave(int &level) {
  if (level > 0)
    --level;
}

} // namespace

DcmObj::DcmObj() = default;
DcmObj::~DcmObj() = default;

void DcmObj::Add(DcmTag *tag) { Add(std::unique_ptr<DcmTag>(tag)); }

void DcmObj::Add(std::unique_ptr<DcmTag> tag) {
  if (tag)
    Tags.push_back(std::move(tag));
}

void DcmObj::AddBytes(uint16_t group, uint16_t element, uint32_t length, const void *bytes) {
  Add(std::make_unique<DcmTag>(group, element, length, bytes));
}

void DcmObj::AddString(uint16_t group, uint16_t element, std::string_view text) {
  Add(std::make_unique<DcmTag>(group, element, text));
}

void DcmObj::AddUShort(uint16_t group, uint16_t element, unsigned short value) {
  Add(std::make_unique<DcmTag>(group, element, value));
}

void DcmObj::Insert(DcmTag *tag) { Insert(std::unique_ptr<DcmTag>(tag)); }

void DcmObj::Insert(std::unique_ptr<DcmTag> tag) {
  if (!tag)
    return;
  int level = 0;
  bool inFragments = false;
  for (auto it = Tags.begin(); it != Tags.end(); ++it) {
    DcmTag &entry = **it;
    if (OpensSequence(entry) || (IsItem(entry) && entry.UndefinedLength()))
      ++level;
    if (entry.Is(0x7FE0, 0x0010) && entry.UndefinedLength())
      inFragments = true;
    if (level == 0 && !inFragments) {
      if (entry.Group == tag->Group && entry.Element == tag->Element) {
        entry.Length = tag->Length;
        entry.Data = std::move(tag->Data);
        return;
      }
      if (tag->Group < entry.Group || (tag->Group == entry.Group && tag->Element < entry.Element)) {
        Tags.insert(it, std::move(tag));
        return;
      }
    }
    if (IsItemEnd(entry) || IsSequenceEnd(entry))
      Leave(level);
    if (IsSequenceEnd(entry))
      inFragments = false;
  }
  Tags.push_back(std::move(tag));
}

void DcmObj::InsertBytes(uint16_t group, uint16_t element, uint32_t length, const void *bytes) {
  Insert(std::make_unique<DcmTag>(group, element, length, bytes));
}

DcmTag *DcmObj::Find(uint16_t group, uint16_t element) const {
  int level = 0;
  for (const auto &tag : Tags) {
    if (OpensSequence(*tag))
      ++level;
    if (level == 0 && tag->Is(group, element))
      return tag.get();
    if (IsSequenceEnd(*tag))
      Leave(level);
  }
  return nullptr;
}

unsigned short DcmObj::GetUShort(uint16_t group, uint16_t element) const {
  const DcmTag *tag = Find(group, element);
  return tag ? tag->GetUShort() : 0;
}

std::string DcmObj::GetString(uint16_t group, uint16_t element) const {
  const DcmTag *tag = Find(group, element);
  return tag ? tag->GetString() : std::string();
}

int DcmObj::Count() const { return static_cast<int>(Tags.size()); }

DcmTag *DcmObj::GetTag(int position) const {
  if (position < 0 || position >= Count())
    return nullptr;
  return Tags[position].get();
}

void DcmObj::Clear() { Tags.clear(); }

void DcmObj::Dump(std::vector<std::string> &lines) {
  for (const auto &tag : Tags) {
    if (tag->Group == 0x0000)
      tag->LookupVR();
    lines.push_back(tag->Format());
  }
}

bool DcmObj::Write(const std::string &fileName, const std::string &sopClassUID,
                   const std::string &sopInstanceUID) {
  if (TransferSyntax == ts::ExplicitBigEndian)
    BigEndian = true;
  BufData stream(BigEndian);
  stream.WriteHeader(sopClassUID, sopInstanceUID, TransferSyntax);
  stream.WriteObj(*this);
  return stream.SaveToFile(fileName);
}
