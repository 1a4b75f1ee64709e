#include "frame/configuration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "frame/event_log.h"
#include "frame/ini_file.h"
#include "frame/program_folder.h"
#include "support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {
class Configuration : public ::testing::Test {
protected:
  void SetUp() override { SetProgramFolder(dir.folder()); }
  void TearDown() override { SetProgramFolder("./"); }
  TempDir dir;
  std::string path = dir.folder() + "corvanel.ini";
};

Film2paper TableFrom(const std::string &path, const std::string &text) {
  WriteFile(path, text);
  Film2paper table;
  table.Load(path);
  return table;
}
} // namespace

TEST_F(Configuration, DefaultsWithoutFile) {
  PrintConfiguration config;
  config.Port = "1";
  config.Header.clear();
  LoadConfiguration(config, path);
  EXPECT_EQ(config.Port, "104");
  EXPECT_EQ(config.AETIndex, 0);
  EXPECT_EQ(config.LogLevel, 0);
  EXPECT_FALSE(config.Calibration);
  EXPECT_FALSE(config.PresentationLUT);
  EXPECT_FALSE(config.ScaleBar);
  EXPECT_FALSE(config.EnableHeaders);
  EXPECT_EQ(config.Header, "Veltrano DICOM Print Server");
  EXPECT_EQ(config.Footer, "Not for Diagnostic Use");
  EXPECT_EQ(config.HeaderPos, 1);
  EXPECT_EQ(config.FooterPos, 1);
  EXPECT_EQ(config.ImageDir, dir.folder() + "imagebox/");
  EXPECT_TRUE(config.EnableSetup);
  EXPECT_EQ(config.PacsAET, "VELTRANOPACS");
  EXPECT_EQ(config.PacsIP, "localhost");
  EXPECT_EQ(config.PacsPort, "11112");
  EXPECT_EQ(config.PacsFormat, 0);

  Film2paper table;
  table.Film14x17 = 3;
  table.Load(path);
  for (const char *size :
       {"14INX17IN", "14INX14IN", "11INX14IN", "10INX12IN", "8INX10IN", "", "24CMX30CM", "A3"})
    EXPECT_EQ(PaperForFilmSize(table, size), size == std::string("A3") ? 8 : 9) << size;
}

TEST_F(Configuration, EmptyHeaderStaysEmptyEmptyImageDirGetsDefault) {
  WriteFile(path, "[CORVANEL]\nHeader=\nImageDir=\nEnableSetup=0\nLogLevel=7\nAETIndex=-1\n"
                  "[PACS]\nAET=ARCHIVE\nFormat=1\n");
  PrintConfiguration config;
  LoadConfiguration(config, path);
  EXPECT_EQ(config.Header, "");
  EXPECT_EQ(config.ImageDir, dir.folder() + "imagebox/");
  EXPECT_FALSE(config.EnableSetup);
  EXPECT_EQ(config.LogLevel, 7);
  EXPECT_EQ(EffectiveLogLevel(config.LogLevel), -1); // filters like 0
  EXPECT_EQ(config.AETIndex, -1);
  EXPECT_EQ(config.PacsAET, "ARCHIVE");
  EXPECT_EQ(config.PacsFormat, 1);
}

TEST_F(Configuration, EffectiveLogLevel) {
  for (const auto &[configured, level] :
       {std::pair{0, 0}, {1, 1}, {2, 2}, {3, -1}, {7, -1}, {-1, -1}, {-5, -1}})
    EXPECT_EQ(EffectiveLogLevel(configured), level) << configured;
}

TEST_F(Configuration, PaperForFilmSize) {
  const Film2paper table = TableFrom(path, "[PAPER]\n14INX17IN=1\n14INX14IN=3\n11INX14IN=4\n"
                                           "10INX12IN=5\n8INX11IN=2\nDEFAULT=6\n");
  struct Case {
    const char *filmSize;
    int32_t code;
  };
  for (const Case c : {Case{"14INX17IN", 1},
                       {"14INX14IN", 3},
                       {"11INX14IN", 5},
                       {"10INX12IN", 11},
                       {"8INX10IN", 8}, // the key 8INX11IN serves the film size 8INX10IN
                       {"8INX11IN", 70},
                       {"a4", 70},
                       {"A4", 9},
                       {"A3", 8},
                       {"", 70},
                       {"14inx17in", 70},
                       {"14INX17IN ", 70}})
    EXPECT_EQ(PaperForFilmSize(table, c.filmSize), c.code) << '"' << c.filmSize << '"';
}

TEST_F(Configuration, PaperCodesOfTheChoices) {
  const int32_t codes[] = {9, 1, 8, 3, 5, 11, 70, 63, 215};
  for (int32_t choice = 0; choice < 9; ++choice) {
    Film2paper table;
    table.Default = choice;
    EXPECT_EQ(PaperForFilmSize(table, "24CMX30CM"), codes[choice]) << PaperChoiceNames[choice];
  }
  for (const int32_t outside : {-1, 9, 100}) {
    Film2paper table;
    table.Default = outside;
    EXPECT_EQ(PaperForFilmSize(table, "24CMX30CM"), 0) << outside;
  }
}

TEST_F(Configuration, SaveLeavesEnableSetupAndForeignKeysAlone) {
  WriteFile(path, "; written by hand\n"
                  "[CORVANEL]\n"
                  "EnableSetup=0\n"
                  "Custom=kept\n"
                  "[PAPER]\n"
                  "DEFAULT=8\n"
                  "Unknown=also kept\n"
                  "[SITE]\n"
                  "Room=3\n");
  PrintConfiguration config;
  LoadConfiguration(config, path);
  ASSERT_FALSE(config.EnableSetup);
  config.EnableSetup = true; // must never reach the file
  config.Port = "11112";
  config.AETIndex = 2;
  config.LogLevel = 1;
  config.Calibration = config.PresentationLUT = config.ScaleBar = config.EnableHeaders = true;
  config.Header = "Radiology";
  config.Footer = "";
  config.HeaderPos = 0;
  config.FooterPos = 2;
  config.ImageDir = "/srv/prints/";
  config.PacsAET = "ARCHIVE";
  config.PacsIP = "10.1.2.3";
  config.PacsPort = "4242";
  config.PacsFormat = 1;
  ASSERT_TRUE(SaveConfiguration(config, path));
  Film2paper table;
  table.Load(path);
  table.Film8x10 = 2;
  table.DefWidth = 200;
  table.DefHeight = 250;
  ASSERT_TRUE(table.Save(path));

  const std::string text = ReadFile(path);
  for (const char *kept : {"; written by hand\n", "EnableSetup=0\n", "Custom=kept\n",
                           "Unknown=also kept\n", "[SITE]\nRoom=3\n", "DEFAULT=8\n"})
    EXPECT_NE(text.find(kept), std::string::npos) << kept;
  EXPECT_EQ(text.find("EnableSetup=1"), std::string::npos);

  IniFile ini;
  ASSERT_TRUE(ini.Load(path));
  for (const char *key :
       {"Port", "AETIndex", "LogLevel", "Calibration", "PresentationLUT", "ScaleBar",
        "EnableHeaders", "Header", "Footer", "HeaderPos", "FooterPos", "ImageDir"})
    EXPECT_TRUE(ini.Value("CORVANEL", key)) << key;
  EXPECT_EQ(ini.ReadString("CORVANEL", "Calibration", ""), "1");

  PrintConfiguration reread;
  LoadConfiguration(reread, path);
  EXPECT_FALSE(reread.EnableSetup);
  reread.EnableSetup = true;
  EXPECT_EQ(reread.Port, config.Port);
  EXPECT_EQ(reread.AETIndex, config.AETIndex);
  EXPECT_EQ(reread.LogLevel, config.LogLevel);
  EXPECT_TRUE(reread.Calibration && reread.PresentationLUT && reread.ScaleBar &&
              reread.EnableHeaders);
  EXPECT_EQ(reread.Header, config.Header);
  EXPECT_EQ(reread.Footer, "");
  EXPECT_EQ(reread.HeaderPos, 0);
  EXPECT_EQ(reread.FooterPos, 2);
  EXPECT_EQ(reread.ImageDir, config.ImageDir);
  EXPECT_EQ(reread.PacsAET, config.PacsAET);
  EXPECT_EQ(reread.PacsIP, config.PacsIP);
  EXPECT_EQ(reread.PacsPort, config.PacsPort);
  EXPECT_EQ(reread.PacsFormat, 1);

  Film2paper rereadTable;
  rereadTable.Load(path);
  EXPECT_EQ(rereadTable.Film8x10, 2);
  EXPECT_EQ(rereadTable.Default, 8);
  EXPECT_EQ(rereadTable.DefWidth, 200);
  EXPECT_EQ(rereadTable.DefHeight, 250);
}

TEST_F(Configuration, SaveToUnwritablePlaceFailsWithOneLogLine) {
  const std::string log = dir.folder() + "log.txt";
  SetLogTarget(log, "", "");
  EXPECT_FALSE(SaveConfiguration(PrintConfiguration{}, dir.folder() + "missing/corvanel.ini"));
  EXPECT_FALSE(Film2paper{}.Save(dir.folder() + "missing/corvanel.ini"));
  CloseLog();
  const std::string text = ReadFile(log);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  EXPECT_NE(text.find("ERROR, cannot write "), std::string::npos);
}

TEST_F(Configuration, SnapshotStaysWhileReplaced) {
  PrintConfiguration first;
  first.Port = "1000";
  ReplaceConfiguration(first);
  const auto held = CurrentConfiguration();
  PrintConfiguration second;
  second.Port = "2000";
  ReplaceConfiguration(second);
  EXPECT_EQ(held->Port, "1000");
  EXPECT_EQ(CurrentConfiguration()->Port, "2000");

  Film2paper table;
  table.Default = PaperA3;
  ReplaceFilm2paper(table);
  EXPECT_EQ(PaperForFilmSize("24CMX30CM"), 8);
  ReplaceFilm2paper(Film2paper{});
  EXPECT_EQ(PaperForFilmSize("24CMX30CM"), 9);
}

TEST_F(Configuration, ReadersAndReplacerRunConcurrently) {
  const auto record = [](int i) {
    PrintConfiguration config;
    config.Port = std::to_string(i);
    config.Header = "port " + config.Port;
    return config;
  };
  ReplaceConfiguration(record(-1));
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 4; ++r)
    readers.emplace_back([&] {
      while (!done) {
        const auto config = CurrentConfiguration();
        // Each record is written whole: Header always names its Port.
        if (config->Header != "port " + config->Port)
          ++torn;
      }
    });
  for (int i = 0; i < 2000; ++i)
    ReplaceConfiguration(record(i));
  done = true;
  for (auto &reader : readers)
    reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(CurrentConfiguration()->Port, "1999");
}
