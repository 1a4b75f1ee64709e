#include "frame/print_counter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {
// Points the counter at a temporary XDG_CONFIG_HOME for one test.
class PrintCounter : public ::testing::Test {
protected:
  void SetUp() override { ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1); }
  void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }
  void Store(const std::string &text) {
    std::filesystem::create_directories(file.parent_path());
    WriteFile(file, text);
  }
  TempDir dir;
  std::filesystem::path file = dir.path() / "veltrano/corvanel/PrintCount";
};

void IncrementOnThreads(int threads, int each) {
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([each] {
      for (int i = 0; i < each; ++i)
        IncrementPrintCount();
    });
  for (auto &worker : workers)
    worker.join();
}
} // namespace

TEST_F(PrintCounter, Base36Text) {
  struct Case {
    uint64_t value;
    const char *text;
  };
  for (const Case c :
       {Case{0, "0"}, {9, "9"}, {10, "a"}, {35, "z"}, {36, "10"}, {1295, "zz"}, {1296, "100"}}) {
    EXPECT_EQ(FormatBase36(c.value), c.text);
    EXPECT_EQ(ParseBase36(c.text), c.value);
  }
  EXPECT_EQ(ParseBase36("  1z!junk"), 71u); // leading blanks skipped, stops at '!'
  EXPECT_EQ(ParseBase36("Z"), 35u);
  EXPECT_EQ(ParseBase36(""), 0u);
  EXPECT_EQ(ParseBase36("-5"), 0u);
  EXPECT_EQ(ParseBase36(std::string(40, 'z')), UINT64_MAX); // saturates
}

TEST_F(PrintCounter, FileInTheConfigFolder) {
  EXPECT_EQ(PrintCountPath(), file.string());
  ::unsetenv("XDG_CONFIG_HOME");
  const char *home = std::getenv("HOME");
  if (home && *home) {
    EXPECT_EQ(PrintCountPath(), std::string(home) + "/.config/veltrano/corvanel/PrintCount");
  }
}

TEST_F(PrintCounter, MissingOrEmptyReadsZeroAndIncrementCreatesIt) {
  EXPECT_EQ(ReadPrintCount(), 0);
  Store("");
  EXPECT_EQ(ReadPrintCount(), 0);
  std::filesystem::remove_all(dir.path() / "veltrano");
  EXPECT_EQ(IncrementPrintCount(), 1);
  EXPECT_EQ(ReadFile(file), "1");
}

TEST_F(PrintCounter, ZReadsAs35AndIncrementsTo10) {
  Store("z");
  EXPECT_EQ(ReadPrintCount(), 35);
  EXPECT_EQ(IncrementPrintCount(), 36);
  EXPECT_EQ(ReadFile(file), "10");
  Store(" zz\n"); // a hand-edited file
  EXPECT_EQ(IncrementPrintCount(), 1296);
  EXPECT_EQ(ReadFile(file), "100");
}

TEST_F(PrintCounter, UnwritableFileFailsWithMinusOne) {
  // A folder where the file should be cannot be opened for writing.
  std::filesystem::create_directories(file);
  EXPECT_EQ(IncrementPrintCount(), -1);
  EXPECT_EQ(ReadPrintCount(), 0);
}

TEST_F(PrintCounter, EightThreadsLoseNoIncrement) {
  IncrementOnThreads(8, 250);
  EXPECT_EQ(ReadPrintCount(), 2000);
  EXPECT_EQ(ReadFile(file), FormatBase36(2000));
}

TEST_F(PrintCounter, TwoProcessesAndEightThreadsLoseNoIncrement) {
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      IncrementOnThreads(4, 200);
      ::_exit(0);
    }
    children.push_back(pid);
  }
  IncrementOnThreads(8, 100); // while the children count too
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(ReadPrintCount(), 2 * 4 * 200 + 8 * 100);
}
