// corvanel: the print server with its operator window. No arguments.
#include <csignal>

#include "frame/memory_reuse.h"
#include "frame/program_folder.h"
#include "ui/corvanel_application.h"
#include "ui/corvanel_forms.h"
#include "ui/stop_signals.h"

int main(int argc, char **argv) {
  // Before any thread starts, so that only the window takes SIGTERM and SIGINT.
  const int stopSignals = BlockStopSignals();
  // A peer that drops its connection mid-send must not end the server.
  std::signal(SIGPIPE, SIG_IGN);
  // A write beyond a file size limit fails as a film that was not written.
  std::signal(SIGXFSZ, SIG_IGN);
  KeepFreedMemoryForReuse();
  CorvanelApplication app(argc, argv);
  InitProgramFolder();
  CorvanelForms forms;
  CloseOnStopSignal(stopSignals, &forms.mainForm);
  forms.mainForm.show();
  app.exec();
  return 0;
}
