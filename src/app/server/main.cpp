// corvanel-server: the print server without a window, for a service manager.
#include <csignal>
#include <filesystem>
#include <iostream>

#include "frame/date_time.h"
#include "frame/event_log.h"
#include "frame/program_folder.h"

int main() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  InitProgramFolder();
  const std::string logFolder = ProgramFolder() + "logs/";
  std::error_code error;
  std::filesystem::create_directories(logFolder, error);
  SetLogEchoSink([](const std::string& text) { std::cerr << text << '\n'; });
  SetLogTarget(logFolder + FormatDateTime("yyyymmdd") + "_corvanel.txt", "", "corvanel-server");
  WriteLog("INFO, Corvanel V" + FileVersionText(""));

  int signal = 0;
  sigwait(&stopSignals, &signal);
  WriteLog("INFO, **** Corvanel V" + FileVersionText("") + " is finishing ****");
  CloseLog();
  return 0;
}
