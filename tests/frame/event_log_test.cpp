#include "frame/event_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "frame/clock.h"

namespace {
std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
} // namespace

TEST(EventLog, LineIsTimeCommaBlankTextAndLineFeed) {
  const auto dir = std::filesystem::temp_directory_path() / ("corvanel_log_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto file = dir / "line.txt";
  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 0;
  local.tm_mday = 31;
  local.tm_hour = 9;
  local.tm_min = 5;
  local.tm_sec = 7;
  local.tm_isdst = -1;
  const auto when = Clock::from_time_t(std::mktime(&local));
  SetClockForTesting([when] { return when; });
  SetLogTarget(file.string(), "", "");
  WriteLog("INFO, Initialize port: 104");
  CloseLog();
  SetClockForTesting({});
  EXPECT_EQ(ReadFile(file), "09:05:07, INFO, Initialize port: 104\n");
  EXPECT_EQ(ReadFile(file).size(), 37u);
  std::filesystem::remove_all(dir);
}
