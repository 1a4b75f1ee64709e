#include "frame/server_frame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>

#include "frame/clock.h"
#include "frame/configuration.h"
#include "frame/date_time.h"
#include "frame/event_log.h"
#include "frame/program_folder.h"
#include "local_time.h"
#include "support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;
namespace fs = std::filesystem;

namespace {
// A clock the test moves by hand.
class ManualClock {
public:
  explicit ManualClock(Clock::time_point start) : now_(start) {
    SetClockForTesting([this] { return now_.load(); });
  }
  ~ManualClock() { SetClockForTesting({}); }
  void Set(Clock::time_point when) { now_ = when; }

private:
  std::atomic<Clock::time_point> now_;
};

class Frame : public ::testing::Test {
protected:
  void SetUp() override {
    SetProgramFolder(home.folder());
    SetLogEchoSink({});
  }
  void TearDown() override {
    CloseLog();
    SetProgramFolder("./");
    LogLevel = 0;
  }
  std::string LogFile(const std::string &day) const {
    return home.folder() + "logs/" + day + "_corvanel.txt";
  }
  TempDir home;
};
} // namespace

TEST_F(Frame, StartUpWritesTheStartLineIntoTheDaysFile) {
  ManualClock clock(LocalTime(2024, 1, 31, 10, 0, 0));
  ServiceFrame frame("corvanel-server");
  frame.Create();
  EXPECT_TRUE(fs::is_directory(home.path() / "logs"));
  EXPECT_EQ(frame.LogFolder(), home.folder() + "logs/");
  EXPECT_EQ(frame.CurrentDay(), "31");
  EXPECT_EQ(frame.TimerInterval(), ServiceFrame::TimerStopped);

  frame.StartServer();
  EXPECT_TRUE(fs::is_directory(home.path() / "filmbox"));
  EXPECT_EQ(frame.TimerInterval(), ServiceFrame::TimerFirst);
  EXPECT_EQ(ReadFile(LogFile("20240131")),
            "10:00:00, INFO, Corvanel V" + FileVersionText("") + "\n");

  frame.StartServer(); // once only
  frame.Close();
  EXPECT_EQ(ReadFile(LogFile("20240131")), "10:00:00, INFO, Corvanel V" + FileVersionText("") +
                                               "\n" + "10:00:00, INFO, **** Corvanel V" +
                                               FileVersionText("") + " is finishing ****\n");
  WriteLog("INFO, after closing");
  EXPECT_EQ(ReadFile(LogFile("20240131")).find("after closing"), std::string::npos);
}

TEST_F(Frame, StepsStartInOrderAndStopInReverseBeforeTheLastLine) {
  ServiceFrame frame("corvanel-server");
  frame.Create();
  std::vector<std::string> calls;
  // Registered out of order: the listener always starts after the rules.
  frame.AddStartStep(
      StartStep::StartListener, [&] { calls.push_back("listen"); },
      [&] {
        calls.push_back("stop listening");
        WriteLog("INFO, listener stopped");
      });
  frame.AddStartStep(
      StartStep::LoadRules, [&] { calls.push_back("rules"); },
      [&] { calls.push_back("clear rules"); });
  frame.StartServer();
  EXPECT_EQ(calls, (std::vector<std::string>{"rules", "listen"}));
  frame.Close();
  frame.Close(); // once only
  EXPECT_EQ(calls, (std::vector<std::string>{"rules", "listen", "stop listening", "clear rules"}));
  const std::string log = ReadFile(LogFile(FormatDateTime("yyyymmdd")));
  EXPECT_LT(log.find("listener stopped"), log.find("is finishing"));
}

TEST_F(Frame, SettingsAndLogLevelFromTheFile) {
  WriteFile(home.path() / "corvanel.ini",
            "[CORVANEL]\nPort=11112\nLogLevel=7\n[PAPER]\n8INX11IN=2\n");
  ServiceFrame frame("");
  frame.LoadSettings();
  EXPECT_EQ(CurrentConfiguration()->Port, "11112");
  EXPECT_EQ(LogLevel.load(), -1); // an unknown level filters like 0
  EXPECT_EQ(PaperForFilmSize("8INX10IN"), 8);

  WriteFile(home.path() / "corvanel.ini", "[CORVANEL]\nLogLevel=2\n");
  frame.LoadSettings();
  EXPECT_EQ(LogLevel.load(), 2);
  EXPECT_EQ(CurrentConfiguration()->Port, "104");
  EXPECT_EQ(PaperForFilmSize("8INX10IN"), 9);
}

TEST_F(Frame, CrossingMidnightSwitchesAtTheFirstTickAfterItAndPurgesOnlyThen) {
  const auto start = LocalTime(2024, 1, 31, 23, 59, 0);
  ManualClock clock(start);
  fs::create_directories(home.path() / "logs");
  const auto oldLog = home.path() / "logs" / "20231101_corvanel.txt";
  const auto recentLog = home.path() / "logs" / "20240110_corvanel.txt";
  WriteFile(oldLog, "old\n");
  WriteFile(recentLog, "recent\n");
  fs::last_write_time(oldLog, std::chrono::file_clock::from_sys(start - std::chrono::days(61)));
  fs::last_write_time(recentLog, std::chrono::file_clock::from_sys(start - std::chrono::days(21)));

  ServiceFrame frame("corvanel-server");
  frame.Create();
  frame.StartServer();
  clock.Set(LocalTime(2024, 1, 31, 23, 59, 1));
  EXPECT_EQ(frame.Timer1Timer(), ServiceFrame::TimerDaily);
  EXPECT_EQ(frame.TimerInterval(), ServiceFrame::TimerDaily);
  EXPECT_TRUE(fs::exists(oldLog)); // no change of day, no purge

  clock.Set(LocalTime(2024, 2, 1, 0, 0, 30));
  WriteLog("INFO, after midnight, before the tick");
  EXPECT_NE(ReadFile(LogFile("20240131")).find("00:00:30, INFO, after midnight"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(LogFile("20240201")));
  EXPECT_TRUE(fs::exists(oldLog));

  clock.Set(LocalTime(2024, 2, 1, 0, 4, 1));
  frame.Timer1Timer();
  EXPECT_EQ(frame.CurrentDay(), "01");
  EXPECT_FALSE(fs::exists(oldLog));
  EXPECT_TRUE(fs::exists(recentLog));
  EXPECT_TRUE(fs::exists(LogFile("20240131")));
  int echoes = 0;
  SetLogEchoSink([&](const std::string &) { ++echoes; });
  WriteLog("INFO, the new day");
  EXPECT_EQ(ReadFile(LogFile("20240201")), "00:04:01, INFO, the new day\n");
  EXPECT_EQ(echoes, 1); // the echo stays after the switch
}

TEST_F(Frame, MissingLogFolderLosesLinesAndRunsOn) {
  // A file where the log folder should be: the folder cannot be made.
  WriteFile(home.path() / "logs", "not a folder");
  int echoes = 0;
  SetLogEchoSink([&](const std::string &) { ++echoes; });
  ServiceFrame frame("corvanel-server");
  frame.Create();
  frame.StartServer();
  frame.Timer1Timer();
  frame.Close();
  EXPECT_EQ(echoes, 2); // start and finishing lines reached the echo
  EXPECT_TRUE(fs::is_regular_file(home.path() / "logs"));
}

TEST_F(Frame, TimerThreadTicksAndStops) {
  std::mutex mutex;
  int ticks = 0;
  {
    TimerThread timer(std::chrono::milliseconds(1), [&] {
      std::lock_guard lock(mutex);
      return ++ticks < 3 ? std::chrono::milliseconds(1) : std::chrono::milliseconds(0);
    });
    for (int i = 0; i < 500; ++i) {
      {
        std::lock_guard lock(mutex);
        if (ticks == 3)
          break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  EXPECT_EQ(ticks, 3);
  // A long interval does not delay the stop.
  const auto start = std::chrono::steady_clock::now();
  {
    TimerThread timer(std::chrono::hours(1), [] { return std::chrono::milliseconds(0); });
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}
