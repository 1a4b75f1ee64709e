#include <gtest/gtest.h>

#include "dicom/buf_data.h"
#include "dicom/log_capture.h"
#include "dump_dataset.h"
#include "print/film_box.h"
#include "print/uid_counter.h"
#include "support/test_support.h"

namespace {

// An N-CREATE of a Basic Film Box as DCMTK's print SCU sends it, with the
// Referenced Film Session Sequence and, at a higher tag than the sequence the
// server adds, a Referenced Presentation LUT Sequence.
std::string FilmBoxDump(const std::string &displayFormat, const std::string &extra = "") {
  return "(2010,0010) ST [" + displayFormat + "]\n" + extra +
         "(2010,0060) CS [REPLICATE]\n"
         "(2010,0100) CS [BLACK]\n"
         "(2010,0110) CS [WHITE]\n"
         "(2010,0500) SQ (Sequence)\n"
         "(fffe,e000) na (Item)\n"
         "(0008,1150) UI [1.2.840.10008.5.1.1.1]\n"
         "(0008,1155) UI [1.2.3.4.5]\n"
         "(fffe,e00d) na (ItemDelimitationItem)\n"
         "(fffe,e0dd) na (SequenceDelimitationItem)\n"
         "(2050,0500) SQ (Sequence)\n"
         "(fffe,e000) na (Item)\n"
         "(0008,1150) UI [1.2.840.10008.5.1.1.23]\n"
         "(0008,1155) UI [1.2.3.4.6]\n"
         "(fffe,e00d) na (ItemDelimitationItem)\n"
         "(fffe,e0dd) na (SequenceDelimitationItem)\n";
}

struct Entry {
  uint16_t group, element;
  uint32_t length;
  bool operator==(const Entry &) const = default;
};

std::vector<Entry> Entries(const DcmObj &dataset) {
  std::vector<Entry> entries;
  for (int i = 0; i < dataset.Count(); ++i) {
    const DcmTag &tag = *dataset.GetTag(i);
    entries.push_back({tag.Group, tag.Element, tag.Length});
  }
  return entries;
}

int PositionOf(const DcmObj &dataset, uint16_t group, uint16_t element) {
  for (int i = 0; i < dataset.Count(); ++i)
    if (dataset.GetTag(i)->Is(group, element))
      return i;
  return -1;
}

class FilmBoxResponse : public ::testing::TestWithParam<SequenceLengths> {};

// The response holds every element of the request in its order, and the
// Referenced Image Box Sequence at its tag position with its items directly
// after it, even though the request holds elements of a higher tag.
TEST_P(FilmBoxResponse, HoldsTheRequestPlusTheReferencedImageBoxes) {
  DcmObj request = DatasetFromDump(FilmBoxDump("STANDARD\\3,4"), GetParam());
  DcmObj response = DatasetFromDump(FilmBoxDump("STANDARD\\3,4"), GetParam());
  FilmBox box;
  ASSERT_EQ(box.Create("1.2.3.4.5", response, "1.2.3.9"), 0);

  ASSERT_EQ(box.ImageBoxes.size(), 12u);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(box.ImageBoxes[i]->SOPInstanceUID, "1.2.3.9." + std::to_string(101 + i));
    EXPECT_EQ(box.ImageBoxes[i]->FilmBoxUID, "1.2.3.9");
    EXPECT_EQ(box.ImageBoxes[i]->FilmSessionUID, "1.2.3.4.5");
  }

  const int sequence = PositionOf(response, 0x2010, 0x0510);
  const int higher = PositionOf(response, 0x2050, 0x0500);
  ASSERT_GT(sequence, 0);
  EXPECT_EQ(response.GetTag(sequence)->VR, "SQ");
  EXPECT_TRUE(response.GetTag(sequence)->UndefinedLength());
  EXPECT_EQ(higher, sequence + 12 * 4 + 2);

  std::vector<Entry> without = Entries(response);
  without.erase(without.begin() + sequence, without.begin() + higher);
  EXPECT_EQ(without, Entries(request));

  for (int i = 0; i < 12; ++i) {
    const int item = sequence + 1 + 4 * i;
    EXPECT_TRUE(response.GetTag(item)->Is(0xFFFE, 0xE000));
    EXPECT_TRUE(response.GetTag(item)->UndefinedLength());
    EXPECT_EQ(response.GetTag(item + 1)->GetString(), kBasicGrayscaleImageBoxUID);
    EXPECT_EQ(response.GetTag(item + 2)->GetString(), box.ImageBoxes[i]->SOPInstanceUID);
    EXPECT_TRUE(response.GetTag(item + 3)->Is(0xFFFE, 0xE00D));
  }
  EXPECT_TRUE(response.GetTag(higher - 1)->Is(0xFFFE, 0xE0DD));
}

INSTANTIATE_TEST_SUITE_P(FilmBoxCreate, FilmBoxResponse,
                         ::testing::Values(SequenceLengths::Defined, SequenceLengths::Undefined),
                         [](const auto &info) {
                           return info.param == SequenceLengths::Defined ? "DefinedLength"
                                                                         : "UndefinedLength";
                         });

// The encoded response reads back in DCMTK with the sequence of referenced image boxes.
TEST(FilmBoxCreate, ResponseEncodingReadsInDcmtk) {
  DcmObj response = DatasetFromDump(FilmBoxDump("STANDARD\\2,1"), SequenceLengths::Undefined);
  FilmBox box;
  box.Color = true;
  ASSERT_EQ(box.Create("1.2.3.4.5", response, "1.2.3.9"), 0);
  BufData buffer;
  buffer.WriteObj(response);
  testing_support::TempDir dir;
  const auto file = dir.path() / "response.raw";
  testing_support::WriteFile(file, std::string(buffer.Bytes().begin(), buffer.Bytes().end()));
  std::string dump;
  ASSERT_EQ(testing_support::RunCommand({"dcmdump", "-f", "-ti", file.string()}, &dump), 0) << dump;
  EXPECT_NE(dump.find("ReferencedImageBoxSequence"), std::string::npos) << dump;
  EXPECT_NE(dump.find("[1.2.3.9.101]"), std::string::npos) << dump;
  EXPECT_NE(dump.find("[1.2.3.9.102]"), std::string::npos) << dump;
  EXPECT_NE(dump.find("=BasicColorImageBoxSOPClass"), std::string::npos) << dump;
  EXPECT_NE(dump.find("ReferencedPresentationLUTSequence"), std::string::npos) << dump;
  EXPECT_EQ(dump.find("E:"), std::string::npos) << dump;
}

// A request that already holds a Referenced Image Box Sequence gets the
// server's in its place, once.
TEST(FilmBoxCreate, ReferencedImageBoxSequenceOfTheRequestIsReplaced) {
  const std::string own = "(2010,0510) SQ (Sequence)\n"
                          "(fffe,e000) na (Item)\n"
                          "(0008,1150) UI [1.2.840.10008.5.1.1.4]\n"
                          "(0008,1155) UI [9.9.9]\n"
                          "(fffe,e00d) na (ItemDelimitationItem)\n"
                          "(fffe,e0dd) na (SequenceDelimitationItem)\n";
  std::string dump = FilmBoxDump("STANDARD\\1,1");
  dump.insert(dump.find("(2050,0500)"), own);
  DcmObj response = DatasetFromDump(dump, SequenceLengths::Undefined);
  FilmBox box;
  ASSERT_EQ(box.Create("1.2", response, "1.2.3"), 0);
  int sequences = 0;
  for (int i = 0; i < response.Count(); ++i) {
    sequences += response.GetTag(i)->Is(0x2010, 0x0510);
    EXPECT_NE(response.GetTag(i)->GetString(), "9.9.9");
  }
  EXPECT_EQ(sequences, 1);
  const int sequence = PositionOf(response, 0x2010, 0x0510);
  EXPECT_EQ(response.GetTag(sequence + 3)->GetString(), "1.2.3.101");
  EXPECT_TRUE(response.GetTag(sequence + 6)->Is(0x2050, 0x0500));
}

TEST(FilmBoxRegister, ImageDisplayFormats) {
  struct Case {
    const char *format;
    int columns, rows;
    bool accepted;
  } cases[] = {
      {"STANDARD\\2,3", 2, 3, true},    {"STANDARD\\1,1", 1, 1, true},
      {"ROW\\2,3", 2, 3, true},         {"SLIDE", 1, 1, true},
      {"STANDARD\\4", 1, 1, true},      {"2,3", 2, 3, true},
      {"STANDARD\\x,4", 1, 4, true},    {"STANDARD\\5,8", 5, 8, true},
      {"STANDARD\\5,9", 5, 9, false},   {"STANDARD\\2,0", 2, 0, false},
      {"STANDARD\\-2,3", -2, 3, false}, {"STANDARD\\70000,70000", 70000, 70000, false},
      {"STANDARD\\-2,-3", -2, -3, false}, // a positive product of two negative counts
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.format);
    DcmObj dataset;
    dataset.AddString(0x2010, 0x0010, c.format);
    FilmBox box;
    EXPECT_EQ(box.Register(dataset), c.accepted ? 0 : kStatusInvalidAttributeValue);
    EXPECT_EQ(box.Columns, c.columns);
    EXPECT_EQ(box.Rows, c.rows);
  }
}

TEST(FilmBoxCreate, RefusedLayoutMakesNoImageBoxesAndLeavesTheDataSet) {
  for (auto [format, product] : {std::pair{"STANDARD\\5,9", "45"}, {"STANDARD\\2,0", "0"}}) {
    LogCapture log;
    DcmObj dataset;
    dataset.AddString(0x2010, 0x0010, format);
    FilmBox box;
    EXPECT_EQ(box.Create("1.2", dataset, ""), kStatusInvalidAttributeValue);
    EXPECT_TRUE(box.ImageBoxes.empty());
    EXPECT_EQ(dataset.Count(), 1);
    EXPECT_TRUE(log.Contains("ERROR, FilmBox::Create::Register()"));
    ASSERT_FALSE(log.lines.empty());
    EXPECT_TRUE(log.lines[0].ends_with(std::string("rows*cols=") + product)) << log.lines[0];
  }
}

TEST(FilmBoxRegister, AttributesAndDefaults) {
  {
    DcmObj dataset;
    dataset.AddString(0x2010, 0x0010, "STANDARD\\1,1");
    FilmBox box;
    ASSERT_EQ(box.Register(dataset), 0);
    EXPECT_EQ(box.FilmSizeID, "14INX17IN");
    EXPECT_EQ(box.FilmOrientation, "PORTRAIT");
    EXPECT_EQ(box.MaxDensity, 150);
    EXPECT_EQ(box.MinDensity, 0);
    EXPECT_EQ(box.Illumination, 0);
  }
  {
    DcmObj dataset = DatasetFromDump(FilmBoxDump("STANDARD\\1,1", "(2010,0040) CS [portrait]\n"
                                                                  "(2010,0050) CS [8INX10IN]\n"),
                                     SequenceLengths::Defined);
    dataset.Insert(new DcmTag(0x2010, 0x0130, static_cast<unsigned short>(0)));
    dataset.Insert(new DcmTag(0x2010, 0x015E, static_cast<unsigned short>(2000)));
    FilmBox box;
    ASSERT_EQ(box.Register(dataset), 0);
    EXPECT_EQ(box.FilmOrientation, "PORTRAIT");
    EXPECT_EQ(box.FilmSizeID, "8INX10IN");
    EXPECT_EQ(box.MagnificationType, "REPLICATE");
    EXPECT_EQ(box.BorderDensity, "BLACK");
    EXPECT_EQ(box.EmptyImageDensity, "WHITE");
    EXPECT_EQ(box.MaxDensity, 150) << "Max Density 0";
    EXPECT_EQ(box.Illumination, 2000);
  }
  {
    DcmObj dataset;
    dataset.AddString(0x2010, 0x0010, "STANDARD\\1,1");
    dataset.AddString(0x2010, 0x0040, "LANDSCAPE");
    dataset.AddUShort(0x2010, 0x0120, 20);
    dataset.AddUShort(0x2010, 0x0130, 320);
    dataset.AddUShort(0x2010, 0x015E, 2000);
    FilmBox box;
    box.Illumination = 1500; // the film session's
    ASSERT_EQ(box.Register(dataset), 0);
    EXPECT_EQ(box.FilmOrientation, "LANDSCAPE");
    EXPECT_EQ(box.MinDensity, 20);
    EXPECT_EQ(box.MaxDensity, 320);
    EXPECT_EQ(box.Illumination, 1500);
  }
}

TEST(FilmBoxCreate, CalibrationFilmHasOneImageBox) {
  DcmObj response = DatasetFromDump(FilmBoxDump("STANDARD\\2,2"), SequenceLengths::Defined);
  FilmBox box;
  box.CalibrationFilm = true;
  ASSERT_EQ(box.Create("1.2", response, "1.2.3"), 0);
  EXPECT_EQ(box.Columns, 3);
  EXPECT_EQ(box.Rows, 3);
  ASSERT_EQ(box.ImageBoxes.size(), 1u);
  EXPECT_EQ(box.ImageBoxes[0]->SOPInstanceUID, "1.2.3.1");
  const int sequence = PositionOf(response, 0x2010, 0x0510);
  EXPECT_TRUE(response.GetTag(sequence + 5)->Is(0xFFFE, 0xE0DD)) << "one item";
}

TEST(FilmBoxCreate, GeneratedUIDsAndTheCounterWrap) {
  FilmBoxCounter().SetForTesting(UIDCounter::kLast);
  auto create = [] {
    DcmObj dataset;
    dataset.AddString(0x2010, 0x0010, "STANDARD\\1,1");
    FilmBox box;
    EXPECT_EQ(box.Create("1.2", dataset, ""), 0);
    return box.SOPInstanceUID;
  };
  const std::string last = create();
  const std::string first = create();
  const std::string second = create();
  EXPECT_TRUE(last.starts_with("999.2.")) << last;
  EXPECT_TRUE(last.ends_with(".10000")) << last;
  EXPECT_TRUE(first.ends_with(".1")) << first;
  EXPECT_TRUE(second.ends_with(".2")) << second;
  EXPECT_LE(last.size(), 64u);
  // "999.2." yyyymmdd "." clock "." counter
  EXPECT_EQ(std::count(last.begin(), last.end(), '.'), 4);
}

TEST(FilmBoxCreate, RequestedUIDsMustBeUIDs) {
  LogCapture log;
  for (const std::string &uid :
       {std::string("1.2/../x"), std::string("1.2.3 "), std::string(65, '1')}) {
    DcmObj dataset;
    dataset.AddString(0x2010, 0x0010, "STANDARD\\1,1");
    FilmBox box;
    EXPECT_EQ(box.Create("1.2", dataset, uid), kStatusInvalidAttributeValue) << uid;
    EXPECT_TRUE(box.ImageBoxes.empty());
  }
  EXPECT_TRUE(log.Contains("ERROR, FilmBox::Create, invalid SOP Instance UID: 1.2/../x"));

  // A requested UID of 64 characters leaves no room for ".101": the image
  // boxes take a generated stem and stay within 64 characters.
  DcmObj dataset;
  dataset.AddString(0x2010, 0x0010, "STANDARD\\2,1");
  FilmBox box;
  ASSERT_EQ(box.Create("1.2", dataset, std::string(64, '1')), 0);
  EXPECT_EQ(box.SOPInstanceUID, std::string(64, '1'));
  for (const auto &imageBox : box.ImageBoxes) {
    EXPECT_LE(imageBox->SOPInstanceUID.size(), 64u);
    EXPECT_TRUE(imageBox->SOPInstanceUID.starts_with("999.2."));
  }
  EXPECT_NE(box.ImageBoxes[0]->SOPInstanceUID, box.ImageBoxes[1]->SOPInstanceUID);
}

TEST(FilmBoxRelease, DestroysTheImageBoxes) {
  DcmObj dataset;
  dataset.AddString(0x2010, 0x0010, "STANDARD\\2,2");
  FilmBox box;
  ASSERT_EQ(box.Create("1.2", dataset, ""), 0);
  box.ImageBoxes[0]->Pixels.assign(16, 1);
  EXPECT_EQ(box.Release(), 0);
  EXPECT_TRUE(box.ImageBoxes.empty());
}

} // namespace
