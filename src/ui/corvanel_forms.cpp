#include "ui/corvanel_forms.h"

#include "frame/configuration.h"
#include "print/listener.h"
#include "rules/printing_rule.h"

CorvanelForms::CorvanelForms(const FormServices &services)
    : ruleCfg(services.printers), setupFrm(mainForm.Frame(), ruleCfg),
      testPrint(services.printers, services.testPagePrinter) {
  setupFrm.SetTestPrint(&testPrint);
  mainForm.SetSetupForm(&setupFrm);
  ServiceFrame &frame = mainForm.Frame();
  frame.AddStartStep(
      StartStep::LoadRules,
      [this] { setupFrm.LoadPrintingRules(CurrentConfiguration()->AETIndex); },
      [] { ProcessPrintingRules().Clear(); });
  frame.AddStartStep(
      StartStep::StartListener, [this] { StartListener(setupFrm.InPort->text().toStdString()); },
      [] { StopListener(); });
}
