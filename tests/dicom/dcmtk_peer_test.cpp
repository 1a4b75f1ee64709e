// The codec against DCMTK: files written by DcmObj::Write are read by dcmdump,
// and data sets encoded by dump2dcm decode to the elements dcmdump lists.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "dicom/buf_data.h"
#include "dicom/dcm_obj.h"
#include "support/test_support.h"

using testing_support::RunCommand;

namespace {

struct Syntax {
  const char *uid;
  bool explicitVR;
  const char *dump2dcmOption;
};
const Syntax kSyntaxes[] = {{ts::ImplicitLittleEndian, false, "+ti"},
                            {ts::ExplicitLittleEndian, true, "+te"},
                            {ts::ExplicitBigEndian, true, "+tb"}};

// One element of a dcmdump listing: tag, VR, value text and length.
struct Listed {
  std::string tag, vr, value;
  long length;
  bool operator==(const Listed &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Listed &e) {
  return out << e.tag << " " << e.vr << " [" << e.value << "] #" << e.length;
}

// Parses "(0010,0010) PN [DOE^JOHN]   # 8, 1 PatientName" lines; items and
// delimiters keep their VR "na" and length -1 when undefined.
std::vector<Listed> ParseDcmdump(const std::string &text, bool skipMeta) {
  std::vector<Listed> elements;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    const size_t open = l.find_first_not_of(' ');
    const size_t hash = l.rfind(" # ");
    if (open == std::string::npos || l[open] != '(' || l.size() < open + 16 ||
        l[open + 10] != ')' || hash == std::string::npos)
      continue;
    Listed e;
    e.tag = l.substr(open + 1, 9);
    e.vr = l.substr(open + 12, 2);
    if (skipMeta && e.tag.starts_with("0002"))
      continue;
    e.value = l.substr(open + 15, hash - (open + 15));
    while (!e.value.empty() && e.value.back() == ' ')
      e.value.pop_back();
    if (e.value.size() >= 2 && e.value.front() == '[' && e.value.back() == ']')
      e.value = e.value.substr(1, e.value.size() - 2);
    if (e.value.starts_with("("))
      e.value.clear(); // "(Sequence with ...)", "(Item with ...)", "(no value available)"
    const std::string length = l.substr(l.find_first_not_of(' ', hash + 2));
    e.length = length.starts_with("u/l") ? -1 : std::stol(length);
    elements.push_back(e);
  }
  return elements;
}

std::string Hex4(uint16_t v) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", v);
  return text;
}

// The value as dcmdump prints it, for the VRs the tests use.
std::string ValueText(const DcmTag &tag) {
  const auto value = tag.Value();
  if (tag.VR == "US" && tag.Length == 2)
    return std::to_string(tag.GetUShort());
  if (tag.VR == "FD" && tag.Length == 8) {
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
      bytes[i] = value[tag.BigEndian ? 7 - i : i];
    double d;
    std::memcpy(&d, bytes, 8);
    char text[32];
    std::snprintf(text, sizeof text, "%g", d);
    return text;
  }
  if (tag.VR == "OW") {
    std::string words;
    for (size_t i = 0; i + 1 < value.size(); i += 2) {
      const uint16_t word =
          tag.BigEndian ? value[i] << 8 | value[i + 1] : value[i + 1] << 8 | value[i];
      words += (i ? "\\" : "") + Hex4(word);
    }
    return words;
  }
  if (tag.VR == "SQ" || tag.Group == 0xFFFE || tag.VR == "OB" || tag.VR.empty())
    return "";
  return tag.GetString();
}

// The elements of obj as dcmdump lists them: sequences and items of defined
// length are decoded and listed with their content and delimiters.
void List(const DcmObj &obj, std::vector<Listed> &out) {
  for (const auto &tag : obj.Tags) {
    const bool container = tag->VR == "SQ" || tag->Is(0xFFFE, 0xE000);
    const bool fragment = tag->Is(0xFFFE, 0xE000) && !out.empty() && out.back().tag == "7fe0,0010";
    std::string vr = tag->Group == 0xFFFE ? (fragment ? "pi" : "na") : tag->VR;
    out.push_back({Hex4(tag->Group) + "," + Hex4(tag->Element), vr, ValueText(*tag),
                   tag->UndefinedLength() ? -1 : long(tag->Length)});
    if (container && !tag->UndefinedLength() && !fragment) {
      out.back().length = tag->Length;
      DcmObj inner;
      inner.Explicit = obj.Explicit;
      tag->GetObj(inner);
      List(inner, out);
      out.push_back({"fffe", "", "", 0});
      out.back().tag = tag->VR == "SQ" ? "fffe,e0dd" : "fffe,e00d";
      out.back().vr = "na";
    }
  }
}

class DcmtkPeer : public ::testing::Test {
protected:
  void SetUp() override {
    if (testing_support::FindProgram("dcmdump").empty() ||
        testing_support::FindProgram("dump2dcm").empty())
      GTEST_SKIP() << "DCMTK is not installed";
  }
  testing_support::TempDir dir;
};

// A data set with the shapes the print service sends and stores.
DcmObj ImageBoxDataSet(const Syntax &syntax) {
  DcmObj obj;
  obj.TransferSyntax = syntax.uid;
  obj.Explicit = syntax.explicitVR;
  obj.AddString(0x0008, 0x0016, "1.2.840.10008.5.1.1.29");
  obj.AddString(0x0008, 0x0018, "2.25.323794931697563438681544.1.2.3");
  obj.AddString(0x0010, 0x0010, "DOE^JOHN");
  obj.AddString(0x0018, 0x0050, "1.5\\2.0");
  obj.Add(new DcmTag(0x0018, 0x9087, 8u, "\0\0\0\0\0\0\x04\x40")); // 2.5
  obj.Add(new DcmTag(0x0028, 0x0030, std::string_view("0.5\\0.5")));
  // Basic Grayscale Image Sequence of undefined length, one undefined-length item.
  obj.Add(new DcmTag(0x2020, 0x0110, kUndefinedLength, nullptr));
  obj.Add(new DcmTag(0xFFFE, 0xE000, kUndefinedLength, nullptr));
  obj.AddString(0x0028, 0x0004, "MONOCHROME2");
  obj.AddUShort(0x0028, 0x0010, 2);
  obj.AddUShort(0x0028, 0x0011, 2);
  const uint16_t pixels[4] = {0x0102, 0x0304, 0x0506, 0x0708};
  obj.AddBytes(0x7FE0, 0x0010, sizeof pixels, pixels);
  obj.Add(new DcmTag(0xFFFE, 0xE00D, 0, nullptr));
  obj.Add(new DcmTag(0xFFFE, 0xE0DD, 0, nullptr));
  // Printer Characteristics: a sequence of defined length with one item.
  DcmObj item;
  item.Explicit = syntax.explicitVR;
  item.BigEndian = syntax.uid == std::string(ts::ExplicitBigEndian);
  item.AddString(0x2000, 0x0010, "3");
  item.AddString(0x2100, 0x0070, "MODALITY");
  DcmObj items;
  items.Explicit = syntax.explicitVR;
  items.BigEndian = item.BigEndian;
  auto *itemTag = new DcmTag();
  itemTag->SetObj(0xFFFE, 0xE000, item);
  items.Add(itemTag);
  auto *sequence = new DcmTag();
  sequence->SetObj(0x2130, 0x0015, items);
  obj.Add(sequence);
  return obj;
}

} // namespace

TEST_F(DcmtkPeer, DcmdumpReadsFilesInEveryTransferSyntax) {
  for (const Syntax &syntax : kSyntaxes) {
    SCOPED_TRACE(syntax.uid);
    DcmObj obj = ImageBoxDataSet(syntax);
    const std::string file = (dir.path() / (std::string("HG.") + syntax.uid)).string();
    ASSERT_TRUE(obj.Write(file, "1.2.840.10008.5.1.1.29", "2.25.323794931697563438681544.1.2.3"));

    std::string output;
    ASSERT_EQ(RunCommand({"dcmdump", "+L", "-Un", file}, &output), 0) << output;
    EXPECT_EQ(output.find("W: "), std::string::npos) << output;
    EXPECT_EQ(output.find("E: "), std::string::npos) << output;
    EXPECT_NE(output.find("(0002,0010) UI [" + std::string(syntax.uid)), std::string::npos);
    EXPECT_NE(output.find("(0002,0012) UI [2.25.323794931697563438681544.999]"), std::string::npos);
    EXPECT_NE(output.find("(0002,0013) SH [Veltrano]"), std::string::npos);

    std::vector<Listed> expected;
    List(obj, expected);
    std::vector<Listed> listed = ParseDcmdump(output, true);
    EXPECT_EQ(listed, expected);
    // dcmdump prints pixel words in hexadecimal after decoding the byte order.
    EXPECT_NE(output.find("(7fe0,0010) OW 0102\\0304\\0506\\0708"), std::string::npos) << output;
    EXPECT_NE(output.find("(0018,9087) FD 2.5"), std::string::npos) << output;
  }
}

TEST_F(DcmtkPeer, DcmdumpReadsEncapsulatedPixelData) {
  const Syntax jpeg{ts::JPEGBaseline, true, ""};
  for (const Syntax &syntax : {kSyntaxes[0], kSyntaxes[1], kSyntaxes[2], jpeg}) {
    SCOPED_TRACE(syntax.uid);
    DcmObj obj;
    obj.TransferSyntax = syntax.uid;
    obj.Explicit = syntax.explicitVR;
    obj.AddString(0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.7");
    obj.AddString(0x0008, 0x0018, "2.25.1");
    obj.AddString(0x0028, 0x0004, "MONOCHROME2");
    obj.Add(new DcmTag(0x7FE0, 0x0010, kUndefinedLength, nullptr, "OB"));
    obj.Add(new DcmTag(0xFFFE, 0xE000, 0, nullptr)); // empty basic offset table
    obj.Add(new DcmTag(0xFFFE, 0xE000, 6u, "\xFF\xD8\x01\x02\xFF\xD9"));
    obj.Add(new DcmTag(0xFFFE, 0xE0DD, 0, nullptr));
    const std::string file = (dir.path() / "SC.dcm").string();
    ASSERT_TRUE(obj.Write(file, "1.2.840.10008.5.1.4.1.1.7", "2.25.1"));
    std::string output;
    ASSERT_EQ(RunCommand({"dcmdump", file}, &output), 0) << output;
    EXPECT_EQ(output.find("W: "), std::string::npos) << output;
    EXPECT_EQ(output.find("E: "), std::string::npos) << output;
    EXPECT_NE(output.find("(7fe0,0010) OB (PixelSequence #=2)"), std::string::npos) << output;
    EXPECT_NE(output.find("(fffe,e000) pi ff\\d8\\01\\02\\ff\\d9"), std::string::npos) << output;
    EXPECT_NE(output.find("(fffe,e0dd) na (SequenceDelimitationItem)"), std::string::npos)
        << output;
  }
}

TEST_F(DcmtkPeer, DecodesDump2dcmDataSets) {
  const std::string dump = R"((0008,0016) UI [1.2.840.10008.5.1.1.29]
(0008,0060) CS [OT]
(0010,0010) PN [DOE^JANE]
(0010,0020) LO [ID7]
(0018,0050) DS [1.25]
(0020,0013) IS [7]
(0028,0010) US 2
(0028,0011) US 2
(0028,0101) US 12
(0028,1052) DS [-1024]
(0040,a730) SQ (Sequence with undefined length)
  (fffe,e000) na (Item with undefined length)
    (0040,a040) CS [TEXT]
    (0040,a730) SQ (Sequence with undefined length)
      (fffe,e000) na (Item with undefined length)
        (0040,a160) UT [nested text]
      (fffe,e00d) na (ItemDelimitationItem)
    (fffe,e0dd) na (SequenceDelimitationItem)
  (fffe,e00d) na (ItemDelimitationItem)
(fffe,e0dd) na (SequenceDelimitationItem)
(2010,0010) ST [STANDARD\2,2]
(7fe0,0010) OW 0001\0002\0003\0fff
)";
  const std::string dumpFile = (dir.path() / "in.dump").string();
  testing_support::WriteFile(dumpFile, dump);
  for (const Syntax &syntax : kSyntaxes) {
    for (const char *lengths : {"+e", "-e"}) {
      SCOPED_TRACE(std::string(syntax.uid) + " " + lengths);
      const std::string dataSet = (dir.path() / "out.ds").string();
      std::string output;
      ASSERT_EQ(RunCommand({"dump2dcm", "-F", syntax.dump2dcmOption, lengths, dumpFile, dataSet},
                           &output),
                0)
          << output;
      ASSERT_EQ(RunCommand({"dcmdump", "+L", "-Un", "-f",
                            std::string("-t") + (syntax.dump2dcmOption + 2), dataSet},
                           &output),
                0)
          << output;
      const std::vector<Listed> listed = ParseDcmdump(output, false);
      ASSERT_GT(listed.size(), 15u) << output;

      const std::string bytes = testing_support::ReadFile(dataSet);
      BufData buf(syntax.uid == std::string(ts::ExplicitBigEndian));
      buf.Assign(bytes.data(), bytes.size());
      DcmObj obj;
      obj.Explicit = syntax.explicitVR;
      obj.TransferSyntax = syntax.uid;
      ASSERT_TRUE(buf.ReadObj(obj));
      std::vector<Listed> decoded;
      List(obj, decoded);
      EXPECT_EQ(decoded, listed) << output;
    }
  }
}
