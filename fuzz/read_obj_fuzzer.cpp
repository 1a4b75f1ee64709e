// Decodes arbitrary bytes as a data set, dumps it, walks its sequences the way
// the print service does, and checks that re-encoding is stable.
#include <cstdlib>
#include <string>
#include <vector>

#include "dicom/buf_data.h"
#include "dicom/dcm_obj.h"

namespace {

std::vector<uint8_t> Encode(const DcmObj &obj, bool bigEndian) {
  BufData buf(bigEndian);
  buf.WriteObj(obj);
  return buf.TakeBytes();
}

// Recurses into defined-length sequences and items like the sequence readers.
void Walk(const DcmObj &obj, std::vector<std::string> &lines) {
  for (const auto &tag : obj.Tags) {
    if (tag->VR != "SQ" && !tag->Is(0xFFFE, 0xE000))
      continue;
    DcmObj inner;
    inner.Explicit = obj.Explicit;
    tag->GetObj(inner);
    inner.Dump(lines);
    Walk(inner, lines);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1)
    return 0;
  // The first byte picks the transfer syntax.
  static const char *const kSyntaxes[] = {ts::ImplicitLittleEndian, ts::ExplicitLittleEndian,
                                          ts::ExplicitBigEndian};
  const int syntax = data[0] % 3;
  const bool bigEndian = syntax == 2;
  DcmObj obj;
  obj.TransferSyntax = kSyntaxes[syntax];
  obj.Explicit = syntax != 0;
  BufData in(bigEndian);
  in.Assign(data + 1, size - 1);
  in.ReadObj(obj);

  std::vector<std::string> lines;
  obj.Dump(lines);
  Walk(obj, lines);
  obj.GetString(0x0010, 0x0010);
  obj.Insert(new DcmTag(0x2010, 0x0510, kUndefinedLength, nullptr));

  // What was decoded encodes to bytes that decode to the same elements.
  const std::vector<uint8_t> first = Encode(obj, bigEndian);
  DcmObj again;
  again.TransferSyntax = obj.TransferSyntax;
  again.Explicit = obj.Explicit;
  BufData reread(bigEndian);
  reread.Assign(first);
  if (!reread.ReadObj(again) || Encode(again, bigEndian) != first)
    std::abort();
  return 0;
}
