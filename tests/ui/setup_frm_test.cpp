// The setup dialog: settings shown from corvanel.ini, OK and Cancel, the
// default rule list and the rule grid's Delete.
#include "frame/configuration.h"
#include "frame/event_log.h"
#include "ui_test_support.h"

namespace ui_test {
namespace {

class SetupFrmTest : public UiTest {};

const std::vector<std::string> kThreeRules{"CT|Laser A|1|FALSE|9|10|10|0|0|0|0",
                                           "MR|Laser B|0|TRUE|14|8|10|0|0|0|0",
                                           "US|JPEG|0|FALSE|9|10|10|0|0|0|0"};

std::vector<std::string> Items(const QComboBox *list) {
  std::vector<std::string> items;
  for (int i = 0; i < list->count(); ++i)
    items.push_back(list->itemText(i).toStdString());
  return items;
}

TEST_F(SetupFrmTest, LogLevelTwoSelectsTagLevelBeforeTheServerStarts) {
  WriteIni("LogLevel=2\r\n");
  CorvanelForms &created = CreateForms(false);
  EXPECT_EQ(created.setupFrm.LogLevelList->currentText(), "Tag Level Msg");
  EXPECT_EQ(LogLevel.load(), 2);
  EXPECT_EQ(Items(created.setupFrm.LogLevelList),
            (std::vector<std::string>{"Only Error LOG", "High Level Msg", "Tag Level Msg"}));
}

TEST_F(SetupFrmTest, ShowsTheLoadedSettings) {
  WriteIni("HeaderPos=2\r\nPresentationLUT=1\r\n",
           "[PACS]\r\nAET=ARCHIVE\r\nFormat=1\r\n"
           "[PAPER]\r\n14INX17IN=2\r\n8INX11IN=8\r\nDefWidth=250\r\nDefHeight=320\r\n");
  TSetupFrm &setup = CreateForms(false).setupFrm;
  EXPECT_EQ(setup.InPort->text().toInt(), port);
  EXPECT_EQ(setup.HeaderPosList->currentText(), "RIGHT");
  EXPECT_EQ(setup.FooterPosList->currentText(), "CENTER");
  EXPECT_TRUE(setup.PresentationLUTBox->isChecked());
  EXPECT_FALSE(setup.PresentationLUTBox->isEnabled());
  EXPECT_EQ(setup.PacsAETEdit->text(), "ARCHIVE");
  EXPECT_EQ(setup.PacsFormatList->currentText(), "JPEG");
  EXPECT_EQ(setup.PaperLists[0]->currentText(), "A3");
  EXPECT_EQ(setup.PaperLists[4]->currentText(), "DEFINED");
  EXPECT_EQ(setup.PaperLists[5]->currentText(), "A4");
  EXPECT_EQ(setup.DefWidthEdit->text(), "250");
  EXPECT_EQ(setup.DefHeightEdit->text(), "320");
  EXPECT_EQ(Items(setup.PaperLists[0]),
            (std::vector<std::string>{"A4", "LETTER", "A3", "TABLOID", "LEGAL", "A5", "A6", "A3+",
                                      "DEFINED"}));
}

TEST_F(SetupFrmTest, EnableHeadersTogglesItsSixControls) {
  WriteIni("EnableHeaders=1\r\n");
  TSetupFrm &setup = CreateForms(false).setupFrm;
  const std::vector<QWidget *> controls{setup.HeaderLabel, setup.HeaderEdit, setup.HeaderPosList,
                                        setup.FooterLabel, setup.FooterEdit, setup.FooterPosList};
  for (QWidget *control : controls)
    EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
  setup.EnableHeadersBox->click();
  for (QWidget *control : controls)
    EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
  setup.EnableHeadersBox->click();
  for (QWidget *control : controls)
    EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
}

TEST_F(SetupFrmTest, NoDefaultRuleShowsTheFirstAndOKStoresIt) {
  WriteIni("AETIndex=-1\r\n");
  WriteRules(kThreeRules);
  TSetupFrm &setup = CreateForms().setupFrm;
  EXPECT_EQ(Items(setup.DefaultAET), (std::vector<std::string>{"CT", "MR", "US"}));
  EXPECT_EQ(setup.DefaultAET->currentText(), "CT");
  ASSERT_EQ(setup.RuleGrid->rowCount(), 3);
  EXPECT_EQ(setup.RuleGrid->item(1, 1)->text(), "Laser B");
  EXPECT_EQ(setup.RuleGrid->item(1, 2)->text(), "1.50");
  EXPECT_EQ(setup.RuleGrid->item(1, 3)->text(), "+2");

  setup.PacsPortEdit->setText("4242");
  setup.DefWidthEdit->setText("wide");
  setup.LogLevelList->setCurrentIndex(1);
  setup.OKClick();
  PrintConfiguration saved;
  LoadConfiguration(saved, Home() + "corvanel.ini");
  EXPECT_EQ(saved.AETIndex, 0);
  EXPECT_EQ(saved.PacsPort, "4242");
  EXPECT_EQ(saved.LogLevel, 1);
  EXPECT_EQ(LogLevel.load(), 1);
  EXPECT_EQ(CurrentConfiguration()->PacsPort, "4242");
  Film2paper table;
  table.Load(Home() + "corvanel.ini");
  EXPECT_EQ(table.DefWidth, 0);
  EXPECT_EQ(CurrentFilm2paper()->DefWidth, 0);
}

TEST_F(SetupFrmTest, DeletingTheSelectedDefaultRule) {
  WriteIni("AETIndex=1\r\n");
  WriteRules(kThreeRules);
  TSetupFrm &setup = CreateForms().setupFrm;
  ASSERT_EQ(setup.DefaultAET->currentText(), "MR");
  setup.RuleGrid->selectRow(1);

  ModalAnswerer answerer;
  answerer.messageReply = QMessageBox::Cancel;
  setup.DeleteClick();
  ASSERT_EQ(answerer.messages,
            (std::vector<std::string>{"DELETE: Are you sure you want to delete this rule?"}));
  EXPECT_EQ(ProcessPrintingRules().Count(), 3u);
  EXPECT_EQ(setup.DefaultAET->currentText(), "MR");

  answerer.messageReply = QMessageBox::Ok;
  setup.DeleteClick();
  EXPECT_EQ(answerer.messages.size(), 2u);
  EXPECT_EQ(Items(setup.DefaultAET), (std::vector<std::string>{"CT", "US"}));
  EXPECT_EQ(setup.DefaultAET->currentIndex(), 0);
  EXPECT_EQ(setup.RuleGrid->rowCount(), 2);
  EXPECT_EQ(ProcessPrintingRules().Count(), 2u);
  EXPECT_EQ(ReadHomeFile("printers.txt"), kThreeRules[0] + "\r\n" + kThreeRules[2] + "\r\n");
}

TEST_F(SetupFrmTest, CancelLeavesTheFileUnchangedAndKeepsTheTypedText) {
  WriteIni();
  const std::string before = ReadHomeFile("corvanel.ini");
  TSetupFrm &setup = CreateForms().setupFrm;
  ModalAnswerer answerer;
  answerer.onDialog = [&](QWidget *dialog) {
    if (dialog == &setup) {
      setup.InPort->setText("2104");
      ClickLater(setup.CancelButton);
    }
  };
  EXPECT_EQ(setup.exec(), QDialog::Rejected);
  EXPECT_EQ(ReadHomeFile("corvanel.ini"), before);
  EXPECT_EQ(setup.InPort->text(), "2104");
  EXPECT_EQ(CurrentConfiguration()->Port, std::to_string(port));
}

} // namespace
} // namespace ui_test
