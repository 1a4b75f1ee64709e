// Stored Print objects without a network: the pixel elements taken from N-SET
// requests of either sequence encoding, replaced images, unsafe file names and
// a session that stored nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/stored_print.h"
#include "frame/configuration.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

std::unique_ptr<DcmTag> Marker(uint16_t element, uint32_t length) {
  auto tag = std::make_unique<DcmTag>(0xFFFE, element, length, nullptr, "");
  tag->VR.clear();
  return tag;
}

// The image description of an N-SET item, with an icon of its own inside.
void AddImageItemContent(DcmObj &item, bool undefinedIcon) {
  item.AddUShort(0x0028, 0x0002, 1);
  item.AddString(0x0028, 0x0004, "MONOCHROME2");
  item.AddUShort(0x0028, 0x0010, 2);
  if (undefinedIcon) {
    item.Add(std::make_unique<DcmTag>(0x0088, 0x0200, kUndefinedLength, nullptr, "SQ"));
    item.Add(Marker(0xE000, kUndefinedLength));
    item.AddUShort(0x0028, 0x0010, 99);
    item.Add(Marker(0xE00D, 0));
    item.Add(Marker(0xE0DD, 0));
  } else {
    DcmObj icon;
    icon.AddUShort(0x0028, 0x0010, 99);
    auto iconItem = std::make_unique<DcmTag>();
    iconItem->SetObj(0xFFFE, 0xE000, icon);
    DcmObj iconItems;
    iconItems.Add(std::move(iconItem));
    auto sequence = std::make_unique<DcmTag>();
    sequence->SetObj(0x0088, 0x0200, iconItems);
    item.Add(std::move(sequence));
  }
  const uint8_t pixels[4] = {1, 2, 3, 4};
  item.AddBytes(0x7FE0, 0x0010, 4, pixels);
}

std::vector<std::string> Listing(const DcmObj &obj) {
  std::vector<std::string> tags;
  for (int i = 0; i < obj.Count(); ++i) {
    const DcmTag &tag = *obj.GetTag(i);
    char text[32];
    std::snprintf(text, sizeof text, "%04X,%04X=%u", tag.Group, tag.Element,
                  tag.Length == 2 ? tag.GetUShort() : tag.Length);
    tags.push_back(text);
  }
  return tags;
}

} // namespace

TEST(StoredPrint, PixelElementsMoveOutOfEitherSequenceEncodingWithoutTheIcon) {
  const std::vector<std::string> expected = {"0028,0002=1", "0028,0004=12", "0028,0010=2",
                                             "7FE0,0010=4"};
  for (bool undefinedLength : {false, true}) {
    SCOPED_TRACE(undefinedLength ? "undefined length" : "defined length");
    DcmObj request;
    request.AddUShort(0x2020, 0x0010, 1);
    if (undefinedLength) {
      request.Add(std::make_unique<DcmTag>(0x2020, 0x0110, kUndefinedLength, nullptr, "SQ"));
      request.Add(Marker(0xE000, kUndefinedLength));
      AddImageItemContent(request, true);
      request.Add(Marker(0xE00D, 0));
      request.Add(Marker(0xE0DD, 0));
    } else {
      DcmObj item;
      AddImageItemContent(item, false);
      auto itemTag = std::make_unique<DcmTag>();
      itemTag->SetObj(0xFFFE, 0xE000, item);
      DcmObj items;
      items.Add(std::move(itemTag));
      auto sequence = std::make_unique<DcmTag>();
      sequence->SetObj(0x2020, 0x0110, items);
      request.Add(std::move(sequence));
    }
    const size_t before = request.Tags.size();
    DcmObj target;
    TakeImagePixelElements(request, target);
    EXPECT_EQ(Listing(target), expected);
    // The taken elements leave the request, whose other entries stay in order
    // (a sequence of defined length keeps its encoded value).
    const std::vector<std::string> rest = Listing(request);
    EXPECT_EQ(rest.size(), before - (undefinedLength ? expected.size() : 0));
    EXPECT_EQ(rest.front(), "2020,0010=1");
  }
}

TEST(StoredPrint, ImageBoxSetAgainKeepsItsLastImageOnly) {
  StoredSession session;
  session.SessionUID = "1.2.3";
  DcmObj filmBox;
  AddStoredPrint(session, filmBox, "1.2.3.4", "SCU", "STORE", "DICOM");
  StoredPrint &print = *FindStoredPrint(session, "1.2.3.4");
  for (uint16_t position : {1, 2}) {
    DcmObj request;
    request.AddUShort(0x2020, 0x0010, position);
    EXPECT_EQ(AddHardcopyImage(print, request, "1.2.3.4.101"), 0);
  }
  ASSERT_EQ(print.HardcopyImages.size(), 1u);
  EXPECT_EQ(print.HardcopyImages.front()->ImagePosition, 2);
}

TEST(StoredPrint, UnsafeNamesAndEmptySessionsWriteNothing) {
  TempDir store;
  PrintConfiguration config;
  config.ImageDir = store.folder();
  ReplaceConfiguration(config);

  StoredSession session;
  session.SessionUID = "1.2.3";
  DcmObj filmBox;
  AddStoredPrint(session, filmBox, "../../escaped", "SCU", "STORE", "DICOM");
  EXPECT_FALSE(WriteStoredPrint(*session.StoredPrints.front(), "STORE"));
  FinishStoredSession(session, "STORE");
  EXPECT_TRUE(std::filesystem::is_empty(store.path()));
  ReplaceConfiguration(PrintConfiguration());
}
