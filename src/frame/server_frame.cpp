#include "frame/server_frame.h"

#include <algorithm>
#include <filesystem>

#include "frame/clock.h"
#include "frame/configuration.h"
#include "frame/date_time.h"
#include "frame/event_log.h"
#include "frame/program_folder.h"

namespace {
constexpr int LogKeepDays = 60;

std::string LogFileName(Clock::time_point when) {
  return FormatDateTime("yyyymmdd", when) + "_corvanel.txt";
}

void CreateFolder(const std::string &folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
}
} // namespace

ServiceFrame::ServiceFrame(std::string echoClass) : echoClass_(std::move(echoClass)) {}

void ServiceFrame::Create() {
  const auto now = Now();
  std::lock_guard lock(mutex_);
  logFolder_ = ProgramFolder() + "logs/";
  // A folder that cannot be made loses the log lines; the server runs on.
  CreateFolder(logFolder_);
  SetLogTarget(logFolder_ + LogFileName(now), "", echoClass_);
  currentDay_ = FormatDateTime("dd", now);
}

void ServiceFrame::LoadSettings() {
  const std::string path = ConfigurationPath();
  Film2paper table;
  table.Load(path);
  ReplaceFilm2paper(table);
  PrintConfiguration config;
  LoadConfiguration(config, path);
  LogLevel = EffectiveLogLevel(config.LogLevel);
  ReplaceConfiguration(std::move(config));
}

void ServiceFrame::AddStartStep(StartStep step, std::function<void()> start,
                                std::function<void()> stop) {
  std::lock_guard lock(mutex_);
  steps_.push_back({step, std::move(start), std::move(stop)});
}

void ServiceFrame::StartServer() {
  std::vector<Step> steps;
  {
    std::lock_guard lock(mutex_);
    if (started_ || closed_)
      return;
    started_ = true;
    interval_ = TimerFirst;
    steps = steps_;
  }
  CreateFolder(ProgramFolder() + "filmbox/");
  WriteLog("INFO, Corvanel V" + FileVersionText(""));
  std::stable_sort(steps.begin(), steps.end(),
                   [](const Step &a, const Step &b) { return a.step < b.step; });
  for (const Step &step : steps)
    if (step.start)
      step.start();
}

std::chrono::milliseconds ServiceFrame::Timer1Timer() {
  std::lock_guard lock(mutex_);
  interval_ = TimerStopped;
  const auto now = Now();
  const std::string today = FormatDateTime("dd", now);
  if (today != currentDay_) {
    const std::string newLogFile = logFolder_ + LogFileName(now);
    PurgeOldFiles(logFolder_.substr(0, logFolder_.size() - 1), ".txt", LogKeepDays);
    SetLogTarget(newLogFile, "", "");
  }
  currentDay_ = today;
  interval_ = TimerDaily;
  return interval_;
}

std::chrono::milliseconds ServiceFrame::TimerInterval() const {
  std::lock_guard lock(mutex_);
  return interval_;
}

void ServiceFrame::Close() {
  std::vector<Step> steps;
  {
    std::lock_guard lock(mutex_);
    if (closed_)
      return;
    closed_ = true;
    interval_ = TimerStopped;
    if (started_)
      steps = steps_;
  }
  std::stable_sort(steps.begin(), steps.end(),
                   [](const Step &a, const Step &b) { return a.step < b.step; });
  for (auto step = steps.rbegin(); step != steps.rend(); ++step)
    if (step->stop)
      step->stop();
  WriteLog("INFO, **** Corvanel V" + FileVersionText("") + " is finishing ****");
  CloseLog();
}

std::string ServiceFrame::LogFolder() const {
  std::lock_guard lock(mutex_);
  return logFolder_;
}

std::string ServiceFrame::CurrentDay() const {
  std::lock_guard lock(mutex_);
  return currentDay_;
}

TimerThread::TimerThread(std::chrono::milliseconds first,
                         std::function<std::chrono::milliseconds()> tick)
    : thread_([this, first, tick = std::move(tick)] { Run(first, tick); }) {}

TimerThread::~TimerThread() { Stop(); }

void TimerThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
    thread_.join();
}

void TimerThread::Run(std::chrono::milliseconds first,
                      std::function<std::chrono::milliseconds()> tick) {
  std::chrono::milliseconds interval = first;
  std::unique_lock lock(mutex_);
  while (interval.count() > 0) {
    if (wake_.wait_for(lock, interval, [this] { return stopping_; }))
      return;
    lock.unlock();
    interval = tick();
    lock.lock();
  }
}
