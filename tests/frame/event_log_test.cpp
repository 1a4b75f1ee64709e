#include "frame/event_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "frame/clock.h"
#include "local_time.h"
#include "support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {
std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// Each test starts with a closed log, level 0, the real clock and no echo.
class EventLog : public ::testing::Test {
protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    CloseLog();
    SetLogEchoSink({});
    SetClockForTesting({});
    LogLevel = 0;
  }
  TempDir dir;
  std::string file = (dir.path() / "log.txt").string();
};
} // namespace

TEST_F(EventLog, LineIsTimeCommaBlankTextAndLineFeed) {
  const auto when = LocalTime(2024, 1, 31, 9, 5, 7);
  SetClockForTesting([when] { return when; });
  std::vector<std::string> echoed;
  SetLogEchoSink([&](const std::string &text) { echoed.push_back(text); });
  SetLogTarget(file, "", "TCorvanelMainForm");
  WriteLog("INFO, Initialize port: " + std::to_string(104));
  EXPECT_EQ(ReadFile(file), "09:05:07, INFO, Initialize port: 104\n");
  EXPECT_EQ(ReadFile(file).size(), 37u);
  // The echo carries the text alone, without time and line end.
  EXPECT_EQ(echoed, std::vector<std::string>{"INFO, Initialize port: 104"});
}

TEST_F(EventLog, ControlCharactersFromPeersCannotStartALineOfTheirOwn) {
  std::vector<std::string> echoed;
  SetLogEchoSink([&](const std::string &text) { echoed.push_back(text); });
  SetLogTarget(file, "", "TCorvanelMainForm");
  WriteLog("INFO, Associated with A\nERROR, forged\r\x1b[2J\x7f\t\xe4");
  const std::vector<std::string> lines = Lines(ReadFile(file));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(", INFO, Associated with A?ERROR, forged??[2J??\xe4"), std::string::npos)
      << lines[0];
  EXPECT_EQ(echoed, std::vector<std::string>{"INFO, Associated with A?ERROR, forged??[2J??\xe4"});
}

TEST_F(EventLog, LevelFilterByTheWriter) {
  struct Case {
    int level;
    bool level1;
    bool level2;
  };
  // -1 is what an unknown configured LogLevel gives; it filters like 0.
  for (const Case c :
       {Case{-1, false, false}, Case{0, false, false}, Case{1, true, false}, Case{2, true, true}}) {
    LogLevel = c.level;
    EXPECT_TRUE(LogEnabled(0)) << c.level; // errors and warnings always
    EXPECT_EQ(LogEnabled(1), c.level1) << c.level;
    EXPECT_EQ(LogEnabled(2), c.level2) << c.level;
  }
}

TEST_F(EventLog, EmptyArgumentsKeepTheTargetFields) {
  int echoes = 0;
  SetLogEchoSink([&](const std::string &) { ++echoes; });
  SetLogTarget(file, "", "TCorvanelMainForm");
  const std::string second = (dir.path() / "second.txt").string();
  // A change of day gives only the file: the echo class set earlier stays.
  SetLogTarget(second, "", "");
  WriteLog("INFO, one");
  EXPECT_EQ(echoes, 1);
  EXPECT_EQ(ReadFile(file), "");
  EXPECT_NE(ReadFile(second).find("INFO, one"), std::string::npos);
}

TEST_F(EventLog, NoEchoWithoutWindowClassOrTitle) {
  int echoes = 0;
  SetLogEchoSink([&](const std::string &) { ++echoes; });
  SetLogTarget(file, "", "");
  WriteLog("INFO, file only");
  EXPECT_EQ(echoes, 0);
  EXPECT_EQ(Lines(ReadFile(file)).size(), 1u);
}

TEST_F(EventLog, LinesBeforeTargetAndAfterCloseAreDropped) {
  int echoes = 0;
  SetLogEchoSink([&](const std::string &) { ++echoes; });
  WriteLog("INFO, before");
  SetLogTarget(file, "", "corvanel-server");
  WriteLog("INFO, inside");
  CloseLog();
  WriteLog("INFO, after");
  EXPECT_EQ(Lines(ReadFile(file)).size(), 1u);
  EXPECT_EQ(echoes, 1);
}

TEST_F(EventLog, UnopenableFileDropsTheLineAndStillEchoes) {
  int echoes = 0;
  SetLogEchoSink([&](const std::string &) { ++echoes; });
  const auto missing = dir.path() / "no such folder" / "log.txt";
  SetLogTarget(missing.string(), "", "corvanel-server");
  WriteLog("ERROR, nowhere to go");
  EXPECT_EQ(echoes, 1);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(EventLog, SixteenThreadsWriteOnlyWholeLines) {
  constexpr int threads = 16, perThread = 1000;
  int echoes = 0; // unguarded on purpose: the writer serialises the sink
  SetLogEchoSink([&](const std::string &) { ++echoes; });
  SetLogTarget(file, "", "corvanel-server");
  const std::string padding(120, 'x');
  std::vector<std::thread> writers;
  for (int t = 0; t < threads; ++t)
    writers.emplace_back([t, &padding] {
      for (int i = 0; i < perThread; ++i)
        WriteLog("INFO, thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                 padding);
    });
  for (auto &writer : writers)
    writer.join();

  std::set<std::pair<int, int>> seen;
  const auto lines = Lines(ReadFile(file));
  ASSERT_EQ(lines.size(), size_t{threads * perThread});
  for (const auto &line : lines) {
    int hour = -1, minute = -1, second = -1, thread = -1, number = -1, used = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%2d:%2d:%2d, INFO, thread %d line %d %n", &hour, &minute,
                          &second, &thread, &number, &used),
              5)
        << line;
    ASSERT_TRUE(line[2] == ':' && line[5] == ':' && line.compare(8, 2, ", ") == 0) << line;
    ASSERT_EQ(line.substr(static_cast<size_t>(used)), padding) << line;
    seen.insert({thread, number});
  }
  EXPECT_EQ(seen.size(), size_t{threads * perThread});
  EXPECT_EQ(echoes, threads * perThread);
}

TEST_F(EventLog, WritersRacingCloseLogNeverTouchReleasedState) {
  SetLogEchoSink([](const std::string &) {});
  SetLogTarget(file, "", "corvanel-server");
  std::atomic<bool> closed{false};
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&closed] {
      for (int i = 0; i < 2000; ++i)
        WriteLog(closed ? "INFO, after close" : "INFO, racing");
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  CloseLog();
  closed = true;
  for (auto &writer : writers)
    writer.join();
  for (const auto &line : Lines(ReadFile(file)))
    EXPECT_TRUE(line.ends_with(", INFO, racing")) << line;
}

TEST_F(EventLog, PurgeOldFilesByLowerCaseExtensionAndAge) {
  namespace fs = std::filesystem;
  const auto now = LocalTime(2024, 3, 1, 12, 0, 0);
  SetClockForTesting([now] { return now; });
  const auto age = [&](const std::string &name, int days) {
    const auto path = dir.path() / name;
    WriteFile(path, "x");
    fs::last_write_time(path, std::chrono::file_clock::from_sys(now - std::chrono::days(days)));
  };
  age("a.TXT", 61);                             // deleted: ".txt" in lower case, older than 60 days
  age("b.log", 100);                            // kept: another extension
  age("c.txt", 59);                             // kept: younger
  age("d.tar.txt", 61);                         // deleted: the last dot counts
  age("e.txt.bak", 100);                        // kept
  age(".txt", 61);                              // deleted: a name that is only the extension
  fs::create_directory(dir.path() / "old.txt"); // folders are never touched
  fs::last_write_time(dir.path() / "old.txt",
                      std::chrono::file_clock::from_sys(now - std::chrono::days(100)));

  PurgeOldFiles(dir.path().string(), ".txt", 60);

  std::set<std::string> left;
  for (const auto &entry : fs::directory_iterator(dir.path()))
    left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"b.log", "c.txt", "e.txt.bak", "old.txt"}));
}

TEST_F(EventLog, PurgeOfEmptyOrMissingFolderDoesNothing) {
  PurgeOldFiles("", ".txt", 60);
  PurgeOldFiles((dir.path() / "missing").string(), ".txt", 60);
  SUCCEED();
}

TEST_F(EventLog, VersionAndMemory) {
  int major = -1, minor = -1, release = -1, used = 0;
  const std::string version = FileVersionText("");
  EXPECT_EQ(std::sscanf(version.c_str(), "%d.%d.%d%n", &major, &minor, &release, &used), 3);
  EXPECT_EQ(static_cast<size_t>(used), version.size());
  // A running test program holds some resident memory, far below a terabyte.
  const std::vector<char> touched(8 * 1000 * 1000, 1);
  EXPECT_GE(UsedMemoryMB(), 8);
  EXPECT_LT(UsedMemoryMB(), 1000000);
  EXPECT_EQ(touched.back(), 1);
}
