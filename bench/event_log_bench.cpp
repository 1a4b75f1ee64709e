// The log writer under contention, against the bare cost of its file append
// (open, write, close per line) measured in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "frame/event_log.h"

namespace {
const std::string& LogPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("corvanel_log_bench_" + std::to_string(::getpid())))
          .string();
  return path;
}

const std::string text = "INFO, New Connection: 12, a line of typical length for a worker";

void BareAppend(benchmark::State& state) {
  const std::string line = "12:00:00, " + text + "\n";
  for (auto _ : state) {
    const int fd = ::open(LogPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
    ::close(fd);
  }
  state.SetItemsProcessed(state.iterations());
}

void WriteLogLines(benchmark::State& state) {
  if (state.thread_index() == 0) {
    SetLogEchoSink([](const std::string&) {});
    SetLogTarget(LogPath(), "", "bench");
  }
  for (auto _ : state)
    WriteLog(text);
  state.SetItemsProcessed(state.iterations());
  if (state.thread_index() == 0) {
    CloseLog();
    std::filesystem::remove(LogPath());
  }
}
} // namespace

BENCHMARK(BareAppend);
BENCHMARK(WriteLogLines)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
