// corvanel: the print server with its operator window. No arguments.
#include <csignal>

#include "frame/program_folder.h"
#include "ui/corvanel_application.h"
#include "ui/corvanel_forms.h"

int main(int argc, char** argv) {
  // A peer that drops its connection mid-send must not end the server.
  std::signal(SIGPIPE, SIG_IGN);
  CorvanelApplication app(argc, argv);
  InitProgramFolder();
  CorvanelForms forms;
  forms.mainForm.show();
  app.exec();
  return 0;
}
