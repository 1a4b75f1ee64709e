#include "dicom/dcm_obj.h"

#include <gtest/gtest.h>

#include <cstring>

#include "dicom/buf_data.h"
#include "log_capture.h"

namespace {

std::string Bytes(const DcmTag &tag) {
  auto value = tag.Value();
  return std::string(reinterpret_cast<const char *>(value.data()), value.size());
}

// A sequence element of undefined length with one item holding inner.
void AddUndefinedSequence(DcmObj &obj, uint16_t group, uint16_t element, DcmTag *inner) {
  obj.Add(new DcmTag(group, element, kUndefinedLength, nullptr, "SQ"));
  obj.Add(new DcmTag(0xFFFE, 0xE000, kUndefinedLength, nullptr));
  obj.Add(inner);
  obj.Add(new DcmTag(0xFFFE, 0xE00D, 0, nullptr));
  obj.Add(new DcmTag(0xFFFE, 0xE0DD, 0, nullptr));
}

} // namespace

TEST(DcmTag, ConstructorsPadOddValuesByVR) {
  struct Case {
    DcmTag tag;
    std::string vr;
    std::string bytes;
  };
  const Case cases[] = {
      {DcmTag(0x0008, 0x0060, std::string_view("ABC")), "CS", std::string("ABC ")},
      {DcmTag(0x0008, 0x0018, std::string_view("1.2.3")), "UI", std::string("1.2.3\0", 6)},
      {DcmTag(0x0019, 0x1000, 3u, "xyz"), "UN", "xyz "},
      {DcmTag(0x0008, 0x0060, std::string_view("CT")), "CS", "CT"},
      {DcmTag(0x0028, 0x0010, (unsigned short)0x0201), "US", "\x01\x02"},
      {DcmTag(0x0000, 0x0000, uint32_t(0x04030201)), "UL", "\x01\x02\x03\x04"},
      {DcmTag(0x0010, 0x0010, std::string_view("A"), "LO"), "LO", "A "},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.tag.Format());
    EXPECT_EQ(c.tag.VR, c.vr);
    EXPECT_EQ(c.tag.Length, c.bytes.size());
    EXPECT_EQ(Bytes(c.tag), c.bytes);
  }
}

TEST(DcmTag, EmptyAndUndefinedLengthsHoldNoData) {
  DcmTag empty(0x0010, 0x0010, 0, "ignored");
  EXPECT_EQ(empty.Length, 0u);
  EXPECT_FALSE(empty.HasData());
  DcmTag unknownSequence(0x0019, 0x1010, kUndefinedLength, nullptr);
  EXPECT_EQ(unknownSequence.VR, "SQ");
  EXPECT_FALSE(unknownSequence.HasData());
  DcmTag unknownValue(0x0019, 0x1010, std::string_view("ab"));
  EXPECT_EQ(unknownValue.VR, "UN");
  DcmTag item(0xFFFE, 0xE000, kUndefinedLength, nullptr);
  EXPECT_EQ(item.VR, "DL");
}

TEST(DcmTag, GettersReadValues) {
  EXPECT_EQ(DcmTag(0x0028, 0x0010, uint32_t(512)).GetUShort(), 0) << "a 4-byte value is no US";
  DcmTag bigEndian(0x0028, 0x0010, (unsigned short)0x0102);
  bigEndian.BigEndian = true;
  EXPECT_EQ(bigEndian.GetUShort(), 0x0201);

  const char padded[] = "  1.2.3  \0\0";
  EXPECT_EQ(DcmTag(0x0008, 0x0018, sizeof padded - 1, padded).GetString(), "1.2.3");

  struct FloatCase {
    const char *text;
    float value;
  };
  for (const auto &c :
       {FloatCase{"1.5\\2.0", 1.5f}, FloatCase{"  -2.25 ", -2.25f}, FloatCase{"+3e2", 300.0f},
        FloatCase{"abc", 0.0f}, FloatCase{"7mm", 7.0f}, FloatCase{"", 0.0f}}) {
    SCOPED_TRACE(c.text);
    EXPECT_FLOAT_EQ(DcmTag(0x0018, 0x0050, std::string_view(c.text)).GetFloat(), c.value);
  }
}

TEST(DcmTag, FormatLines) {
  EXPECT_EQ(DcmTag(0x0008, 0x0060, std::string_view("CT")).Format(),
            "(0008,0060),  2, CS, Modality: CT");
  EXPECT_EQ(DcmTag(0x0002, 0x0010, std::string_view("1.2.840.10008.1.2")).Format(),
            "(0002,0010), 18, UI, Transfer Syntax UID: 1.2.840.10008.1.2 "
            "(Little Endian Implicit VR) ");
  EXPECT_EQ(DcmTag(0x0028, 0x0010, (unsigned short)512).Format(), "(0028,0010),  2, US, Rows: 512");
  EXPECT_EQ(DcmTag(0x0019, 0x0010, std::string_view("ab")).Format(),
            "(0019,0010),  2, UN, *** Unidentified ***: ab");
  EXPECT_EQ(DcmTag(0x0008, 0x1140, kUndefinedLength, nullptr).Format(),
            "(0008,1140), -1, SQ, Referenced Image Sequence: ");
  const std::string large(300, 'x');
  EXPECT_EQ(DcmTag(0x0010, 0x4000, std::string_view(large)).Format(),
            "(0010,4000), 300, LT, Patient Comments: ");
  const uint16_t six[3] = {1, 2, 3};
  EXPECT_EQ(DcmTag(0x0028, 0x1101, 6, six).Format(),
            "(0028,1101),  6, SS, Red Palette Color Lookup Table Descriptor: Vector!!");
  const double d = 2.5;
  EXPECT_EQ(DcmTag(0x0018, 0x9087, 8, &d).Format(),
            "(0018,9087),  8, FD, Diffusion b-value:  2.50");
  // A text value without 0x00 ends at its length.
  EXPECT_EQ(DcmTag(0x0010, 0x0020, std::string_view("ID12")).Format(),
            "(0010,0020),  4, LO, Patient ID: ID12");
}

TEST(DcmObj, TopLevelGettersSkipUndefinedSequences) {
  DcmObj obj;
  EXPECT_EQ(obj.GetString(0x0010, 0x0010), "");
  EXPECT_EQ(obj.GetUShort(0x0028, 0x0010), 0);
  AddUndefinedSequence(obj, 0x0008, 0x1140, new DcmTag(0x0010, 0x0010, std::string_view("INNER")));
  obj.AddString(0x0010, 0x0020, "first");
  obj.AddString(0x0010, 0x0020, "second");
  obj.AddUShort(0x0028, 0x0010, 256);
  EXPECT_EQ(obj.GetString(0x0010, 0x0010), "") << "inside a sequence";
  EXPECT_EQ(obj.GetString(0x0008, 0x1140), "") << "the undefined-length sequence itself";
  EXPECT_EQ(obj.GetString(0x0010, 0x0020), "first");
  EXPECT_EQ(obj.GetUShort(0x0028, 0x0010), 256);
  EXPECT_EQ(obj.Count(), 8);
  EXPECT_EQ(obj.GetTag(8), nullptr);
  EXPECT_EQ(obj.GetTag(-1), nullptr);
}

TEST(DcmObj, StrayDelimitersDoNotHideLaterElements) {
  DcmObj obj;
  // Encapsulated pixel data: its fragments are closed by a sequence delimiter
  // that opened no sequence level.
  obj.Add(new DcmTag(0x7FE0, 0x0010, kUndefinedLength, nullptr, "OB"));
  obj.Add(new DcmTag(0xFFFE, 0xE000, 0, nullptr));
  obj.Add(new DcmTag(0xFFFE, 0xE0DD, 0, nullptr));
  obj.Add(new DcmTag(0xFFFE, 0xE0DD, 0, nullptr));
  obj.AddString(0xFFFC, 0xFFFC, "pad");
  EXPECT_EQ(obj.GetString(0xFFFC, 0xFFFC), "pad");

  DcmObj stray;
  stray.AddString(0x0010, 0x0010, "NAME");
  stray.Add(new DcmTag(0xFFFE, 0xE0DD, 0, nullptr));
  stray.AddUShort(0x0028, 0x0010, 1);
  EXPECT_EQ(stray.GetUShort(0x0028, 0x0010), 1);
}

TEST(DcmObj, InsertReplacesOrPlacesInTagOrder) {
  DcmObj obj;
  obj.InsertBytes(0x2010, 0x0510, 4, "abcd");
  ASSERT_EQ(obj.Count(), 1) << "insert into an empty list appends";
  obj.Insert(new DcmTag(0x2010, 0x0010, std::string_view("STANDARD\\1,1")));
  obj.Add(new DcmTag(0x2010, 0x0010, std::string_view("duplicate")));
  obj.Insert(new DcmTag(0x2010, 0x0500, std::string_view("MID")));
  ASSERT_EQ(obj.Count(), 4);
  EXPECT_EQ(obj.GetTag(0)->Element, 0x0010);
  EXPECT_EQ(obj.GetTag(1)->Element, 0x0500);
  EXPECT_EQ(obj.GetTag(2)->Element, 0x0510);

  // Replacing keeps the entry's own VR and the list length, and only the first.
  obj.Insert(new DcmTag(0x2010, 0x0010, std::string_view("STANDARD\\2,2"), "LO"));
  EXPECT_EQ(obj.Count(), 4);
  EXPECT_EQ(obj.GetTag(0)->VR, "ST");
  EXPECT_EQ(obj.GetTag(0)->GetString(), "STANDARD\\2,2");
  EXPECT_EQ(obj.GetTag(3)->GetString(), "duplicate");

  obj.Insert(new DcmTag(0x0008, 0x0016, std::string_view("1.2")));
  EXPECT_EQ(obj.GetTag(0)->Group, 0x0008) << "a smaller group goes first";
  obj.Insert(new DcmTag(0x7FE0, 0x0010, std::string_view("px")));
  EXPECT_EQ(obj.GetTag(obj.Count() - 1)->Group, 0x7FE0);
}

TEST(DcmObj, InsertSkipsSequenceContent) {
  DcmObj obj;
  AddUndefinedSequence(obj, 0x0008, 0x1140, new DcmTag(0x0008, 0x1155, std::string_view("1.2")));
  obj.AddString(0x0010, 0x0010, "NAME");
  obj.Insert(new DcmTag(0x0008, 0x1155, std::string_view("9.9")));
  ASSERT_EQ(obj.Count(), 7);
  EXPECT_EQ(obj.GetTag(2)->GetString(), "1.2") << "the item's element is not replaced";
  EXPECT_EQ(obj.GetTag(0)->Element, 0x1140);
  EXPECT_EQ(obj.GetTag(5)->GetString(), "9.9") << "placed after the closed sequence";
}

TEST(DcmObj, DumpLooksUpCommandVRs) {
  DcmObj obj;
  auto *command = new DcmTag(0x0000, 0x0100, (unsigned short)0x0030);
  command->VR.clear();
  obj.Add(command);
  obj.AddString(0x0008, 0x0060, "CT");
  std::vector<std::string> lines{"before"};
  obj.Dump(lines);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "(0000,0100),  2, US, Command Field: 48");
  EXPECT_EQ(lines[2], "(0008,0060),  2, CS, Modality: CT");
}

TEST(DcmTag, SetObjAndGetObjRoundTrip) {
  for (bool explicitVR : {false, true}) {
    SCOPED_TRACE(explicitVR ? "explicit" : "implicit");
    DcmObj item;
    item.Explicit = explicitVR;
    item.AddString(0x0008, 0x1150, "1.2.840.10008.5.1.1.4");
    item.AddUShort(0x0028, 0x0010, 64);
    DcmTag itemTag;
    itemTag.SetObj(0xFFFE, 0xE000, item);
    EXPECT_EQ(itemTag.VR, "");
    DcmObj items;
    items.Explicit = explicitVR;
    items.Add(new DcmTag(itemTag));
    DcmTag sequence;
    sequence.SetObj(0x2010, 0x0510, items);
    EXPECT_EQ(sequence.VR, "SQ");
    EXPECT_EQ(sequence.Length % 2, 0u);

    DcmObj decodedItems;
    decodedItems.Explicit = explicitVR;
    sequence.GetObj(decodedItems);
    ASSERT_EQ(decodedItems.Count(), 1);
    DcmObj decoded;
    decoded.Explicit = explicitVR;
    decodedItems.GetTag(0)->GetObj(decoded);
    ASSERT_EQ(decoded.Count(), 2);
    EXPECT_EQ(decoded.GetString(0x0008, 0x1150), "1.2.840.10008.5.1.1.4");
    EXPECT_EQ(decoded.GetTag(0)->VR, "UI");
    EXPECT_EQ(decoded.GetUShort(0x0028, 0x0010), 64);
  }
  DcmTag empty(0x0010, 0x0010, std::string_view("X"));
  empty.SetObj(0x2010, 0x0510, DcmObj());
  EXPECT_EQ(empty.Length, 0u);
  EXPECT_FALSE(empty.HasData());
}

TEST(DcmTag, GetObjStopsAtTheNestingLimit) {
  LogCapture log;
  // 10000 items nested in one another by defined lengths.
  DcmObj inner;
  inner.AddString(0x0010, 0x0010, "DEEP");
  DcmTag tag;
  tag.SetObj(0xFFFE, 0xE000, inner);
  for (int i = 0; i < 10000; ++i) {
    DcmObj wrapper;
    wrapper.Add(new DcmTag(tag));
    tag.SetObj(0xFFFE, 0xE000, wrapper);
  }
  // Walk down the way the sequence readers do.
  DcmObj level;
  tag.GetObj(level);
  int depth = 1;
  while (level.Count() == 1 && level.GetTag(0)->Group == 0xFFFE) {
    DcmObj next;
    level.GetTag(0)->GetObj(next);
    level = std::move(next);
    ++depth;
  }
  EXPECT_EQ(depth, DcmTag::kMaxNesting + 1);
  EXPECT_EQ(level.Count(), 0);
  EXPECT_TRUE(log.Contains("ERROR, DcmTag::GetObj, (FFFE,E000) nested deeper than 64 levels"));
}

TEST(DcmTag, GetObjOfTruncatedItemStaysInBounds) {
  LogCapture log;
  // An item whose inner element declares more bytes than the item holds.
  const uint8_t value[] = {0x10, 0x00, 0x10, 0x00, 0xFF, 0x00, 0x00, 0x00, 'A', 'B', 'C', 'D'};
  DcmTag item(0xFFFE, 0xE000, sizeof value, value);
  DcmObj decoded;
  item.GetObj(decoded);
  ASSERT_EQ(decoded.Count(), 1);
  EXPECT_EQ(decoded.GetTag(0)->Length, 4u);
  EXPECT_EQ(decoded.GetString(0x0010, 0x0010), "ABCD");
  EXPECT_TRUE(log.Contains("WARNING, BufData::ReadTag, read bytes!=tag->length (0010,0010) "
                           "count=4, tag->length=255"));
}
