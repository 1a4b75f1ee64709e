#pragma once
// The frame of the server, shared by the operator window and the headless
// server: program folder and log at creation, the settings, the deferred
// start-up sequence (StartServer), the daily timer (Timer1Timer) and the
// closing sequence. Later start-up work (printing rules, listener) attaches to
// StartServer as registered steps; their stop functions run when it closes.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Steps of StartServer that other subsystems provide, in the order they run.
enum class StartStep {
  LoadRules = 5,     // printers.txt into the process-wide rules list
  StartListener = 6, // the listening thread on the configured Port
};

class ServiceFrame {
public:
  // Timer1 intervals: stopped, first tick, every later tick.
  static constexpr std::chrono::milliseconds TimerStopped{0};
  static constexpr std::chrono::milliseconds TimerFirst{1000};
  static constexpr std::chrono::milliseconds TimerDaily{300000};

  // The window class lines are echoed to (empty: no echo).
  explicit ServiceFrame(std::string echoClass);

  // Creation: log folder (program folder + "logs/", created when missing), the
  // day's log target, CurrentDay. The program folder is resolved before.
  void Create();
  // Film2paper::Load, LoadConfiguration, then the log level, from corvanel.ini.
  void LoadSettings();

  // Registers a start function (and an optional stop function) for a step.
  void AddStartStep(StartStep step, std::function<void()> start, std::function<void()> stop = {});

  // "filmbox/", the start line, Timer1 at 1 s, then the registered steps. Once.
  void StartServer();

  // One tick of Timer1: at a change of day the log moves to the new day's file
  // and old log files are purged. Returns the next interval (TimerDaily).
  std::chrono::milliseconds Timer1Timer();
  std::chrono::milliseconds TimerInterval() const;

  // Stop functions in reverse order, the closing line, CloseLog. Once.
  void Close();

  std::string LogFolder() const;  // program folder + "logs/"
  std::string CurrentDay() const; // "dd" of the log file in use

private:
  struct Step {
    StartStep step;
    std::function<void()> start;
    std::function<void()> stop;
  };
  std::string LogFileForToday() const;

  mutable std::mutex mutex_;
  std::string echoClass_;
  std::string logFolder_;
  std::string currentDay_;
  std::chrono::milliseconds interval_ = TimerStopped;
  std::vector<Step> steps_;
  bool started_ = false;
  bool closed_ = false;
};

// Runs tick on a thread of its own: after the first interval, then after each
// interval tick returns; an interval of 0 ends it. Stopped and joined on destruction.
class TimerThread {
public:
  TimerThread(std::chrono::milliseconds first, std::function<std::chrono::milliseconds()> tick);
  ~TimerThread();
  TimerThread(const TimerThread &) = delete;
  TimerThread &operator=(const TimerThread &) = delete;
  void Stop();

private:
  void Run(std::chrono::milliseconds first, std::function<std::chrono::milliseconds()> tick);
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};
