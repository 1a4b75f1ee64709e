// corvanel-server: the print server without a window, for a service manager.
// Every log line is echoed to stderr; SIGTERM or SIGINT closes it in order.
#include <csignal>

#include "frame/configuration.h"
#include "frame/event_log.h"
#include "frame/memory_reuse.h"
#include "frame/program_folder.h"
#include "frame/server_frame.h"
#include "frame/stderr_echo.h"
#include "print/listener.h"
#include "rules/printing_rule.h"

int main() {
  // Blocked before any thread starts, so that only sigwait below takes them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  // A reader of stderr that went away must not end the server.
  std::signal(SIGPIPE, SIG_IGN);
  // Under a file size limit (a unit's LimitFSIZE=) a write beyond it fails with
  // EFBIG, reported as a failed film, instead of ending the server.
  std::signal(SIGXFSZ, SIG_IGN);

  KeepFreedMemoryForReuse();
  InitProgramFolder();
  SetLogEchoSink(StderrEchoSink());
  ServiceFrame frame("corvanel-server");
  frame.Create();
  frame.LoadSettings();
  frame.AddStartStep(
      StartStep::LoadRules, [] { LoadRules(ProcessPrintingRules(), RulesFilePath()); },
      [] { ProcessPrintingRules().Clear(); });
  frame.AddStartStep(
      StartStep::StartListener, [] { StartListener(CurrentConfiguration()->Port); }, StopListener);
  frame.StartServer();

  TimerThread timer(frame.TimerInterval(), [&frame] { return frame.Timer1Timer(); });
  int signal = 0;
  while (sigwait(&stopSignals, &signal) != 0) {
  }
  timer.Stop();
  frame.Close();
  return 0;
}
