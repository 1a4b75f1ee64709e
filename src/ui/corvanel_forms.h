#pragma once
// The four windows of the operator program, created in this order: main
// window, rule configuration, setup (which loads the settings), test print.
// The main window's queued StartServer runs the same start-up as the headless
// server once the event loop runs: rules into the setup dialog's grid, then the
// listener on the setup dialog's InPort text.
#include "render/printer_list.h"
#include "render/printer_output.h"
#include "ui/main_form.h"
#include "ui/rule_cfg.h"
#include "ui/setup_frm.h"
#include "ui/test_page_printer.h"
#include "ui/test_print.h"

struct FormServices {
  PrinterLister printers = ListPrinters;
  TestPagePrinter testPagePrinter = PrintTestPage;
};

class CorvanelForms {
public:
  explicit CorvanelForms(const FormServices &services = {});

  TCorvanelMainForm mainForm;
  TRuleCfg ruleCfg;
  TSetupFrm setupFrm;
  TTestPrint testPrint;
};
