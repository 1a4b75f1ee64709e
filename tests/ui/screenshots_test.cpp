// Screenshots of every window, for a look at labels and layout, under
// <build>/ui-screenshots/.
#include "ui_test_support.h"

namespace ui_test {
namespace {

class ScreenshotTest : public UiTest {};

TEST_F(ScreenshotTest, EveryWindow) {
  WriteIni("EnableHeaders=1\r\n");
  WriteRules({"CT|Laser A|1|FALSE|9|10|10|0|0|0|0", "MR|Laser B|0|TRUE|14|8|10|1|2|1|2",
              "US_LONG_AETITLE|JPEG|0|FALSE|9|10|10|0|0|0|0"});
  CorvanelForms &created = CreateForms();
  created.mainForm.show();
  SaveScreenshot(&created.mainForm, "main");

  TSetupFrm &setup = created.setupFrm;
  setup.show();
  const char *tabs[] = {"general", "printer", "paper", "rules", "pacs"};
  for (int tab = 0; tab < setup.Tabs->count(); ++tab) {
    setup.Tabs->setCurrentIndex(tab);
    SaveScreenshot(&setup, std::string("setup-") + tabs[tab]);
  }
  setup.hide();

  created.ruleCfg.EditIndex = 2;
  created.ruleCfg.show();
  SaveScreenshot(&created.ruleCfg, "rule-configuration");
  created.ruleCfg.hide();

  created.testPrint.show();
  SaveScreenshot(&created.testPrint, "test-print");
  created.testPrint.hide();
}

} // namespace
} // namespace ui_test
