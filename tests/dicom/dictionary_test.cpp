#include "dicom/dictionary.h"

#include <gtest/gtest.h>

#include "dicom/dcm_tag.h"
#include "dicom/make_uid.h"

TEST(Dictionary, LooksUpTagsExactly) {
  struct Case {
    uint16_t group, element;
    const char *vr;
    const char *name;
  };
  const Case cases[] = {
      {0x0000, 0x0000, "UL", "Group Length"},
      {0x0000, 0x0100, "US", "Command Field"},
      {0x0002, 0x0010, "UI", "Transfer Syntax UID"},
      {0x0008, 0x0016, "UI", "SOP Class UID"},
      {0x0028, 0x0106, "SS", "Smallest Image Pixel Value"},
      {0x0028, 0x3006, "US", "LUT Data"},
      {0x2010, 0x0010, "ST", "Image Display Format"},
      {0x2020, 0x0110, "SQ", "Basic Grayscale Image Sequence"},
      {0x2050, 0x0020, "CS", "Presentation LUT Shape"},
      {0x6000, 0x3000, "OW", "Overlay Data"},
      {0x7FE0, 0x0010, "OW", "Pixel Data"},
      {0xFFFE, 0xE000, "DL", "Item"},
      {0xFFFE, 0xE00D, "DL", "Item Delimitation Item"},
      {0xFFFE, 0xE0DD, "DL", "Sequence Delimitation Item"},
      {0x0008, 0x0010, "SH", "Recognition Code (RET)"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const DictStruct *entry = FindDictEntry(c.group, c.element);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->vr, c.vr);
    EXPECT_STREQ(entry->description, c.name);
  }
  EXPECT_EQ(FindDictEntry(0x0019, 0x0010), nullptr);
  EXPECT_EQ(FindDictEntry(0x6002, 0x3000), nullptr) << "no repeating-group matching";
  EXPECT_EQ(FindDictEntry(0xFFFF, 0xFFFF), nullptr);
  EXPECT_EQ(FindDictEntry(0x0000, 0x0001)->description, std::string("Command Length to End (RET)"));

  DcmTag unknown(0x0019, 0x0010, 2, "ab", "LO");
  unknown.LookupVR();
  EXPECT_EQ(unknown.VR, "UN");
  EXPECT_EQ(unknown.GetName(), "*** Unidentified ***");
}

TEST(Dictionary, NamesUIDsAsWholeTexts) {
  EXPECT_EQ(UIDName("1.2.840.10008.1.2.4.50"), "JPEG BaseLine Lossy ");
  EXPECT_EQ(UIDName("1.2.840.10008.1.2"), "Little Endian Implicit VR");
  EXPECT_EQ(UIDName("1.2.840.10008.5.1.1.4"), "Basic Grayscale Image Box SOP Class");
  EXPECT_EQ(UIDName("1.2.840.10008.5.1.4.1.1.7"), "Secondary Capture Image Storage");
  EXPECT_EQ(UIDName("1.2.840.10008.1.2 "), "");
  EXPECT_EQ(UIDName("1.2.840.10008.1"), "");
  EXPECT_EQ(UIDName("9.9.9"), "");
}

TEST(MakeUID, BuildsFromItsParts) {
  const std::string root = kImplementationUIDRoot;
  EXPECT_EQ(MakeUID("12345678", "111", "", "20260102", "030405", "1"),
            root + ".112345678.111.2601020304");
  // Only the tail of long parts; part B runs into part A.
  EXPECT_EQ(MakeUID("9912345678", "ABCDE1234", "99887", "20261231", "235959", "10"),
            root + ".1012345678.98871234.2612312359");
  // Letters become digits (code mod 9), and no component starts with 0.
  EXPECT_EQ(MakeUID("A", "05", "", "20260102", "030405", "0"), root + ".12.15.2601020304");
  // Short parts are trimmed, but a short part B is taken as it is.
  EXPECT_EQ(MakeUID(" 42 ", " 7 ", "1 2", "20260102", "030405", "3"), root + ".342.152"
                                                                             "7.2601020304");
  // Same inputs within the same minute give the same UID.
  EXPECT_EQ(MakeUID("1", "2", "3", "20260102", "030405", "1"),
            MakeUID("1", "2", "3", "20260102", "030459", "1"));
  const std::string uid =
      MakeUID(InstallationId(), "111", "", "20260102", "030405", InstallationNumber());
  EXPECT_LE(uid.size(), 64u);
  EXPECT_EQ(uid.find_first_not_of("0123456789."), std::string::npos);
}

TEST(MakeUID, InstallationIdIsStableDigits) {
  const std::string id = InstallationId();
  EXPECT_EQ(id.size(), 8u);
  EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(InstallationId(), id);
}
