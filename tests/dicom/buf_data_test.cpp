#include "dicom/buf_data.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dicom/dcm_obj.h"
#include "log_capture.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(const DcmTag &tag, bool explicitVR, bool bigEndian = false) {
  BufData buf(bigEndian);
  buf.WriteTag(tag, explicitVR);
  return buf.Bytes();
}

bool Decode(const Bytes &bytes, DcmObj &obj) {
  BufData buf(false);
  buf.Assign(bytes);
  return buf.ReadObj(obj);
}

Bytes operator+(Bytes a, const Bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

} // namespace

TEST(BufData, ExplicitLengthForms) {
  struct Case {
    DcmTag tag;
    Bytes header;
  };
  const uint8_t four[4] = {1, 2, 3, 4};
  const Case cases[] = {
      // Pixel data: OW with reserved field and 32-bit length.
      {DcmTag(0x7FE0, 0x0010, 4, four), {0xE0, 0x7F, 0x10, 0x00, 'O', 'W', 0, 0, 4, 0, 0, 0}},
      {DcmTag(0x0028, 0x0010, (unsigned short)512), {0x28, 0x00, 0x10, 0x00, 'U', 'S', 2, 0}},
      // OF takes the long form, as PS3.5 7.1.2 lists it.
      {DcmTag(0x0064, 0x0009, 4, four), {0x64, 0x00, 0x09, 0x00, 'O', 'F', 0, 0, 4, 0, 0, 0}},
      {DcmTag(0x0008, 0x0119, std::string_view("abcd"), "UC"),
       {0x08, 0x00, 0x19, 0x01, 'U', 'C', 0, 0, 4, 0, 0, 0}},
      // Commands and items carry no VR in explicit VR.
      {DcmTag(0x0000, 0x0100, (unsigned short)1), {0x00, 0x00, 0x00, 0x01, 2, 0, 0, 0}},
      {DcmTag(0xFFFE, 0xE000, kUndefinedLength, nullptr),
       {0xFE, 0xFF, 0x00, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.tag.Format());
    const Bytes encoded = Encode(c.tag, true);
    ASSERT_GE(encoded.size(), c.header.size());
    EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + c.header.size()), c.header);
    EXPECT_EQ(encoded.size(), c.header.size() + (c.tag.HasData() ? c.tag.Length : 0));

    DcmObj obj;
    obj.Explicit = true;
    ASSERT_TRUE(Decode(encoded, obj));
    ASSERT_EQ(obj.Count(), 1);
    const DcmTag &back = *obj.GetTag(0);
    EXPECT_EQ(back.Group, c.tag.Group);
    EXPECT_EQ(back.Element, c.tag.Element);
    EXPECT_EQ(back.Length, c.tag.Length);
    EXPECT_EQ(back.VR, c.tag.Group == 0x0000 || c.tag.Group == 0xFFFE ? "" : c.tag.VR);
    EXPECT_EQ(Encode(back, true), encoded);
  }
}

TEST(BufData, ImplicitHeadersAndBigEndianNumbers) {
  EXPECT_EQ(Encode(DcmTag(0x0028, 0x0010, (unsigned short)512), false),
            (Bytes{0x28, 0x00, 0x10, 0x00, 2, 0, 0, 0, 0x00, 0x02}));
  // Big endian: header numbers and the value's numbers are big-endian.
  EXPECT_EQ(Encode(DcmTag(0x0028, 0x0010, (unsigned short)512), true, true),
            (Bytes{0x00, 0x28, 0x00, 0x10, 'U', 'S', 0, 2, 0x02, 0x00}));
  EXPECT_EQ(Encode(DcmTag(0x7FE0, 0x0010, 4, "abcd", "OB"), true, true),
            (Bytes{0x7F, 0xE0, 0x00, 0x10, 'O', 'B', 0, 0, 0, 0, 0, 4, 'a', 'b', 'c', 'd'}));
  // A value decoded big-endian is written back as it is, and swapped for little
  // endian.
  BufData in(true);
  in.Assign(Bytes{0x00, 0x28, 0x00, 0x10, 'U', 'S', 0, 2, 0x02, 0x00});
  DcmObj obj;
  obj.Explicit = true;
  ASSERT_TRUE(in.ReadObj(obj));
  EXPECT_TRUE(obj.GetTag(0)->BigEndian);
  EXPECT_EQ(obj.GetUShort(0x0028, 0x0010), 512);
  EXPECT_EQ(Encode(*obj.GetTag(0), true, true), in.Bytes());
  EXPECT_EQ(Encode(*obj.GetTag(0), true, false),
            (Bytes{0x28, 0x00, 0x10, 0x00, 'U', 'S', 2, 0, 0x00, 0x02}));
}

TEST(BufData, OversizedShortValueIsWrittenAsUN) {
  const std::string big(70000, 'x');
  const Bytes encoded = Encode(DcmTag(0x0010, 0x4000, std::string_view(big), "LT"), true);
  EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 12),
            (Bytes{0x10, 0x00, 0x00, 0x40, 'U', 'N', 0, 0, 0x70, 0x11, 0x01, 0x00}));
}

TEST(BufData, ReadObjStreamRules) {
  const Bytes command = Encode(DcmTag(0x0000, 0x0100, (unsigned short)0x8030), false);
  const Bytes meta = Encode(DcmTag(0x0002, 0x0010, std::string_view("1.2.840.10008.1.2")), true);
  const Bytes rows = Encode(DcmTag(0x0028, 0x0010, (unsigned short)16), true);
  const Bytes zero = Encode(DcmTag(0x0000, 0x0000, 0, nullptr), false);

  // A command group inside an explicit-VR stream, group 0002 dropped, and a zero
  // (0000,0000) ending the data set.
  DcmObj obj;
  obj.Explicit = true;
  ASSERT_TRUE(Decode(command + meta + rows + zero + rows, obj));
  ASSERT_EQ(obj.Count(), 2);
  EXPECT_EQ(obj.GetUShort(0x0000, 0x0100), 0x8030);
  EXPECT_EQ(obj.GetTag(0)->VR, "");
  EXPECT_EQ(obj.GetUShort(0x0028, 0x0010), 16);

  // Implicit VR: unknown tags are UN with a defined length and SQ with an
  // undefined one.
  DcmObj implicit;
  const Bytes privateValue = Encode(DcmTag(0x0019, 0x1001, 2, "ab", "UN"), false);
  const Bytes privateSequence =
      Encode(DcmTag(0x0019, 0x1002, kUndefinedLength, nullptr, "UN"), false);
  const Bytes end = Encode(DcmTag(0xFFFE, 0xE0DD, 0, nullptr), false);
  ASSERT_TRUE(Decode(privateValue + privateSequence + end, implicit));
  ASSERT_EQ(implicit.Count(), 3);
  EXPECT_EQ(implicit.GetTag(0)->VR, "UN");
  EXPECT_EQ(implicit.GetTag(0)->GetString(), "ab");
  EXPECT_EQ(implicit.GetTag(1)->VR, "SQ");
  EXPECT_EQ(implicit.GetTag(2)->VR, "DL");
}

TEST(BufData, UndefinedLengthSequencesStayFlat) {
  DcmObj source;
  source.Explicit = true;
  source.TransferSyntax = ts::ExplicitLittleEndian;
  source.Add(new DcmTag(0x2020, 0x0110, kUndefinedLength, nullptr));
  source.Add(new DcmTag(0xFFFE, 0xE000, kUndefinedLength, nullptr));
  source.AddUShort(0x0028, 0x0010, 2);
  source.Add(new DcmTag(0xFFFE, 0xE00D, 0, nullptr));
  source.Add(new DcmTag(0xFFFE, 0xE0DD, 0, nullptr));
  BufData out;
  out.WriteObj(source);

  DcmObj decoded;
  decoded.Explicit = true;
  ASSERT_TRUE(Decode(out.Bytes(), decoded));
  ASSERT_EQ(decoded.Count(), 5);
  EXPECT_EQ(decoded.GetTag(0)->VR, "SQ");
  EXPECT_TRUE(decoded.GetTag(1)->Is(0xFFFE, 0xE000));
  EXPECT_TRUE(decoded.GetTag(4)->Is(0xFFFE, 0xE0DD));
  EXPECT_EQ(decoded.GetUShort(0x0028, 0x0010), 0) << "inside the sequence";
  BufData again;
  again.WriteObj(decoded);
  EXPECT_EQ(again.Bytes(), out.Bytes());
}

TEST(BufData, LengthsNeverReachBeyondTheStream) {
  LogCapture log;
  // 20 bytes declaring a 0xFFFFFFF0 value: nothing near 4 GB is reserved.
  Bytes huge{0x10, 0x00, 0x10, 0x00, 0xF0, 0xFF, 0xFF, 0xFF};
  huge.resize(20, 'A');
  DcmObj obj;
  ASSERT_TRUE(Decode(huge, obj));
  ASSERT_EQ(obj.Count(), 1);
  EXPECT_EQ(obj.GetTag(0)->Length, 12u);
  EXPECT_TRUE(log.Contains("WARNING, BufData::ReadTag, read bytes!=tag->length (0010,0010) "
                           "count=12, tag->length=4294967280"));

  // Headers cut short fail the read.
  for (const Bytes &cut : {Bytes{0x10, 0x00, 0x10}, Bytes{0x10, 0x00, 0x10, 0x00, 'O', 'B', 0}}) {
    DcmObj shortHeader;
    shortHeader.Explicit = true;
    EXPECT_FALSE(Decode(cut, shortHeader));
    EXPECT_EQ(shortHeader.Count(), 0);
  }
  DcmObj partial;
  partial.Explicit = true;
  EXPECT_FALSE(Decode(Encode(DcmTag(0x0028, 0x0010, (unsigned short)1), true) +
                          Bytes{0x10, 0x00, 0x10, 0x00, 'O', 'B', 0, 0},
                      partial));
  EXPECT_EQ(partial.Count(), 1) << "elements before the failure are kept";
  EXPECT_TRUE(
      log.Contains("ERROR: BufData::ReadTag, (0010,0010) tag->length=0, MS Size=18, MS Pos=16"));
}

TEST(BufData, UnbalancedDelimitersDecodeFlat) {
  // 10000 nested undefined-length items and no delimiters decode without
  // recursion; the getters still see top-level elements.
  Bytes stream = Encode(DcmTag(0x0008, 0x1140, kUndefinedLength, nullptr), false);
  const Bytes item = Encode(DcmTag(0xFFFE, 0xE000, kUndefinedLength, nullptr), false);
  const Bytes sequence = Encode(DcmTag(0x0008, 0x1140, kUndefinedLength, nullptr), false);
  for (int i = 0; i < 10000; ++i)
    stream = stream + item + sequence;
  for (int i = 0; i < 30000; ++i)
    stream = stream + Encode(DcmTag(0xFFFE, 0xE0DD, 0, nullptr), false);
  stream = stream + Encode(DcmTag(0x0010, 0x0010, std::string_view("AFTER")), false);
  DcmObj obj;
  ASSERT_TRUE(Decode(stream, obj));
  EXPECT_EQ(obj.Count(), 1 + 20000 + 30000 + 1);
  EXPECT_EQ(obj.GetString(0x0010, 0x0010), "AFTER");
  obj.Insert(new DcmTag(0x0010, 0x0010, std::string_view("REPLACED")));
  EXPECT_EQ(obj.GetString(0x0010, 0x0010), "REPLACED");
}

TEST(BufData, WritesDicomFiles) {
  testing_support::TempDir dir;
  DcmObj obj;
  obj.TransferSyntax = ts::ExplicitLittleEndian;
  obj.Explicit = true;
  obj.AddString(0x0008, 0x0016, "1.2.840.10008.5.1.1.29");
  obj.AddString(0x0008, 0x0018, "1.2.3.4");
  const std::string file = (dir.path() / "HG.1.2.3.4").string();
  ASSERT_TRUE(obj.Write(file, "1.2.840.10008.5.1.1.29", "1.2.3.4"));

  const std::string bytes = testing_support::ReadFile(file);
  ASSERT_GT(bytes.size(), 144u);
  EXPECT_EQ(bytes.substr(0, 128), std::string(128, '\0'));
  EXPECT_EQ(bytes.substr(128, 4), "DICM");
  EXPECT_EQ(bytes.substr(132, 8), std::string("\x02\x00\x00\x00UL\x04\x00", 8));
  const uint32_t groupLength = uint8_t(bytes[140]) | uint8_t(bytes[141]) << 8 |
                               uint8_t(bytes[142]) << 16 | uint32_t(uint8_t(bytes[143])) << 24;
  const size_t firstDataElement = bytes.find(std::string("\x08\x00\x16\x00UI", 6));
  ASSERT_NE(firstDataElement, std::string::npos);
  EXPECT_EQ(groupLength, firstDataElement - 144);
  EXPECT_EQ(bytes.substr(144, 14),
            std::string("\x02\x00\x01\x00OB\x00\x00\x02\x00\x00\x00\x00\x01", 14));
  EXPECT_NE(bytes.find(std::string("1.2.840.10008.1.2.1\0", 20)), std::string::npos);
  EXPECT_NE(bytes.find(std::string("\x13\x00SH\x08\x00Veltrano", 14)), std::string::npos);
  EXPECT_NE(bytes.find("2.25.323794931697563438681544.999"), std::string::npos);

  // The file is replaced, not appended to.
  ASSERT_TRUE(obj.Write(file, "1.2.840.10008.5.1.1.29", "1.2.3.4"));
  EXPECT_EQ(testing_support::ReadFile(file), bytes);
}

TEST(BufData, SaveToFileFailures) {
  LogCapture log;
  testing_support::TempDir dir;
  BufData empty;
  EXPECT_FALSE(empty.SaveToFile((dir.path() / "empty.dcm").string()));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "empty.dcm"));
  EXPECT_TRUE(log.Contains("ERROR, BufData::SaveToFile, ms->Size==0"));

  BufData some;
  some.Write("x", 1);
  EXPECT_FALSE(some.SaveToFile((dir.path() / "missing" / "x.dcm").string()));
  EXPECT_TRUE(log.Contains("ERROR, BufData::SaveToFile, No such file or directory"));
}
