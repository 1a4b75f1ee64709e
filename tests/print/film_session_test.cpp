#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "dicom/dcm_obj.h"
#include "frame/date_time.h"
#include "print/film_session.h"
#include "print/uid_counter.h"
#include "rules/printing_rule.h"

namespace {

DcmObj FilmSessionRequest() {
  DcmObj dataset;
  dataset.AddString(0x2000, 0x0010, "2");
  dataset.AddString(0x2000, 0x0020, "HIGH");
  dataset.AddString(0x2000, 0x0050, "Ward 3");
  dataset.AddUShort(0x2010, 0x015E, 2000);
  return dataset;
}

void AddFilmBox(FilmSession &session, const std::string &uid) {
  auto box = std::make_unique<FilmBox>();
  session.PrepareFilmBox(*box);
  DcmObj dataset;
  dataset.AddString(0x2010, 0x0010, "STANDARD\\1,2");
  ASSERT_EQ(box->Create(session.SOPInstanceUID, dataset, uid), 0);
  session.FilmBoxes.push_back(std::move(box));
}

TEST(FilmSessionCreate, TakesTheAttributesWithDefaults) {
  FilmSession session;
  ASSERT_EQ(session.Create(FilmSessionRequest(), "1.2.3", 7), 0);
  EXPECT_EQ(session.SOPInstanceUID, "1.2.3");
  EXPECT_EQ(session.NumberOfCopies, "2");
  EXPECT_EQ(session.PrintPriority, "HIGH");
  EXPECT_EQ(session.MediumType, "PAPER");
  EXPECT_EQ(session.FilmDestination, "MAGAZINE");
  EXPECT_EQ(session.FilmSessionLabel, "Ward 3");
  EXPECT_EQ(session.Illumination, 2000);
  EXPECT_EQ(session.Copies(), 2);

  DcmObj film;
  film.AddString(0x2000, 0x0030, "BLUE FILM");
  film.AddString(0x2000, 0x0040, "PROCESSOR");
  ASSERT_EQ(session.Create(film, "1.2.4", 7), 0);
  EXPECT_EQ(session.MediumType, "BLUE FILM");
  EXPECT_EQ(session.FilmDestination, "PROCESSOR");
  EXPECT_EQ(session.Illumination, 0);
  EXPECT_EQ(session.Copies(), 1);
}

TEST(FilmSessionCreate, GeneratedUIDNamesDateClockSocketAndCounter) {
  FilmSessionCounter().SetForTesting(UIDCounter::kLast);
  FilmSession session;
  ASSERT_EQ(session.Create(DcmObj{}, "", 42), 0);
  const std::string prefix = "999.1." + FormatDateTime("yyyymmdd") + ".";
  EXPECT_TRUE(session.SOPInstanceUID.starts_with(prefix)) << session.SOPInstanceUID;
  EXPECT_TRUE(session.SOPInstanceUID.ends_with(".42.10000")) << session.SOPInstanceUID;
  ASSERT_EQ(session.Create(DcmObj{}, "", 42), 0);
  EXPECT_TRUE(session.SOPInstanceUID.ends_with(".42.1")) << session.SOPInstanceUID;
}

TEST(FilmSessionCreate, SecondCreateStartsAnEmptyFilmBoxList) {
  FilmSession session;
  ASSERT_EQ(session.Create(DcmObj{}, "1.2.3", 1), 0);
  AddFilmBox(session, "1.2.3.1");
  ASSERT_EQ(session.Create(DcmObj{}, "1.2.4", 1), 0);
  EXPECT_TRUE(session.FilmBoxes.empty());
}

TEST(FilmSession, RuleAndSettingsReachTheFilmBox) {
  FilmSession session;
  session.ApplyRule(PrintingRule{"CT", "JPEG", 3, true, 12, 8, 5, 1, 2, 1, 2});
  session.ScaleBar = true;
  session.Calibration = false;
  session.Header = "Head";
  session.Footer = "Foot";
  session.HeaderPos = 1;
  session.FooterPos = 2;
  session.CallingAETitle = "MODALITY";
  ASSERT_EQ(session.Create(FilmSessionRequest(), "1.2.3", 1), 0);
  EXPECT_EQ(session.PrinterName, "JPEG");

  FilmBox box;
  session.PrepareFilmBox(box);
  EXPECT_EQ(box.PaperChoice, 3);
  EXPECT_TRUE(box.TrueSizePrint);
  EXPECT_EQ(box.GammaIndex, 12);
  EXPECT_EQ(box.ContrastIndex, 8);
  EXPECT_EQ(box.SaturationIndex, 5);
  EXPECT_EQ(box.FilterIndex, 1);
  EXPECT_EQ(box.ColorPrinting, 2);
  EXPECT_EQ(box.BorderColor, 1);
  EXPECT_EQ(box.EmptyImageColor, 2);
  EXPECT_TRUE(box.ScaleBar);
  EXPECT_EQ(box.Header, "Head");
  EXPECT_EQ(box.FooterPos, 2);
  EXPECT_EQ(box.Copies, 2);
  EXPECT_EQ(box.CallingAETitle, "MODALITY");
  EXPECT_EQ(box.FilmSessionLabel, "Ward 3");
  EXPECT_EQ(box.Illumination, 2000);
}

TEST(FilmSession, CopiesOnlyFromAPositiveNumber) {
  FilmSession session;
  for (auto [text, copies] : {std::pair{"3", 3},
                              {"", 1},
                              {"x", 1},
                              {"0", 1},
                              {"-2", 1},
                              {"2.5", 1},
                              {"99999999999", 1}}) {
    session.NumberOfCopies = text;
    EXPECT_EQ(session.Copies(), copies) << text;
  }
}

TEST(FilmSessionPrint, StatusesAndTheSettingsCopiedAtPrint) {
  FilmSession session;
  ASSERT_EQ(session.Create(FilmSessionRequest(), "1.2.3", 1), 0);
  session.PrinterName = "DICOM"; // stored, not printed: the film output returns 0 at once
  EXPECT_EQ(session.Print("1.2.3"), kStatusNoSuchObjectInstance) << "no film boxes";
  AddFilmBox(session, "1.2.3.1");
  AddFilmBox(session, "1.2.3.2");
  EXPECT_EQ(session.Print("1.2.9"), kStatusNoSuchObjectInstance);
  session.Header = "Late header";
  session.NumberOfCopies = "4";
  EXPECT_EQ(session.Print("1.2.3"), 0);
  for (const auto &box : session.FilmBoxes) {
    EXPECT_EQ(box->Header, "Late header");
    EXPECT_EQ(box->Copies, 4);
  }
}

TEST(FilmSessionDelete, ReleasesEveryFilmBox) {
  FilmSession session;
  ASSERT_EQ(session.Create(DcmObj{}, "1.2.3", 1), 0);
  session.PrinterName = "DICOM";
  AddFilmBox(session, "1.2.3.1");
  EXPECT_EQ(session.Delete("1.2.4"), kStatusNoSuchObjectInstance);
  EXPECT_EQ(session.FilmBoxes.size(), 1u);
  EXPECT_EQ(session.Delete("1.2.3"), 0);
  EXPECT_TRUE(session.FilmBoxes.empty());
  EXPECT_EQ(session.Print("1.2.3"), kStatusNoSuchObjectInstance);
}

TEST(FilmSessionCreate, RequestedUIDMustBeAUID) {
  FilmSession session;
  ASSERT_EQ(session.Create(DcmObj{}, "1.2.3", 1), 0);
  EXPECT_EQ(session.Create(DcmObj{}, "../1.2", 1), kStatusInvalidAttributeValue);
  EXPECT_EQ(session.SOPInstanceUID, "1.2.3");
}

// Associations take UIDs at the same time: every value once per round.
TEST(UIDCounter, ConcurrentTakesGiveEachValueOnce) {
  UIDCounter counter;
  std::vector<uint32_t> taken[2];
  std::thread workers[2];
  for (int t = 0; t < 2; ++t)
    workers[t] = std::thread([&, t] {
      for (uint32_t i = 0; i < UIDCounter::kLast / 2; ++i)
        taken[t].push_back(counter.Take());
    });
  for (auto &worker : workers)
    worker.join();
  std::set<uint32_t> values(taken[0].begin(), taken[0].end());
  values.insert(taken[1].begin(), taken[1].end());
  EXPECT_EQ(values.size(), UIDCounter::kLast);
  EXPECT_EQ(*values.begin(), 1u);
  EXPECT_EQ(*values.rbegin(), UIDCounter::kLast);
  EXPECT_EQ(counter.Take(), 1u);
}

} // namespace
