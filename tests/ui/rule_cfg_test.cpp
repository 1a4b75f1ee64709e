// The rule configuration dialog, opened from the setup dialog's Add and Edit.
#include "rules/printing_rule.h"
#include "ui_test_support.h"

namespace ui_test {
namespace {

class RuleCfgTest : public UiTest {
protected:
  // Answers the rule dialog with edit, then presses OK (or Cancel).
  void AnswerRuleDialog(ModalAnswerer &answerer, std::function<void(TRuleCfg &)> edit,
                        bool ok = true) {
    answerer.onDialog = [this, edit, ok](QWidget *dialog) {
      if (dialog != &forms->ruleCfg)
        return;
      if (edit)
        edit(forms->ruleCfg);
      ClickLater(ok ? forms->ruleCfg.BitBtn1 : forms->ruleCfg.BitBtn2);
    };
  }
};

const std::vector<std::string> kRules{"CT|Laser A|1|FALSE|9|10|10|0|0|0|0",
                                      "MR|Gone Printer|2|TRUE|14|8|12|1|2|1|2"};

TEST_F(RuleCfgTest, ListsThePrintersAndTheFileDestinations) {
  TRuleCfg &dialog = CreateForms(false).ruleCfg;
  QStringList items;
  for (int i = 0; i < dialog.ComboBox2->count(); ++i)
    items << dialog.ComboBox2->itemText(i);
  EXPECT_EQ(items, QStringList({"Laser A", "Laser B", "JPEG", "PDF", "DICOM", "PACS"}));
  EXPECT_EQ(dialog.ComboBox1->count(), 29);
  EXPECT_EQ(dialog.ComboBox9->count(), 21);
  EXPECT_EQ(dialog.ComboBox2->placeholderText(), "Select Printer");
}

TEST_F(RuleCfgTest, AddStoresTheTitleUpperCaseAndRefusesItTwice) {
  TSetupFrm &setup = CreateForms().setupFrm;
  ModalAnswerer answerer;
  AnswerRuleDialog(answerer, [](TRuleCfg &dialog) {
    dialog.Edit5->setText("ct1");
    dialog.ComboBox2->setCurrentIndex(3); // PDF
  });
  setup.AddClick();
  EXPECT_TRUE(answerer.messages.empty());
  ASSERT_EQ(ProcessPrintingRules().Count(), 1u);
  EXPECT_EQ(ProcessPrintingRules().At(0)->AETitle, "CT1");
  EXPECT_EQ(ProcessPrintingRules().At(0)->Destination, "PDF");
  EXPECT_EQ(ReadHomeFile("printers.txt"), "CT1|PDF|0|FALSE|9|10|10|0|0|0|0\r\n");
  EXPECT_EQ(setup.RuleGrid->item(0, 0)->text(), "CT1");
  EXPECT_EQ(setup.DefaultAET->currentText(), "CT1");

  AnswerRuleDialog(answerer, [](TRuleCfg &dialog) { dialog.Edit5->setText("CT1"); });
  setup.AddClick();
  EXPECT_EQ(answerer.messages, (std::vector<std::string>{"Corvanel: AET exists already",
                                                         "Corvanel: ERROR, Adding Rule"}));
  EXPECT_EQ(ProcessPrintingRules().Count(), 1u);
  EXPECT_EQ(setup.RuleGrid->rowCount(), 1);
}

TEST_F(RuleCfgTest, AnEmptyTitleIsRefusedAndNothingSaved) {
  WriteRules({kRules[0]});
  TSetupFrm &setup = CreateForms().setupFrm;
  ModalAnswerer answerer;
  AnswerRuleDialog(answerer, [](TRuleCfg &dialog) { dialog.Edit5->clear(); });
  setup.AddClick();
  EXPECT_EQ(answerer.messages, (std::vector<std::string>{"Corvanel: AET cannot be empty!"}));
  EXPECT_EQ(ProcessPrintingRules().Count(), 1u);
  EXPECT_EQ(ReadHomeFile("printers.txt"), kRules[0] + "\r\n");
}

TEST_F(RuleCfgTest, EditingARuleKeepsItsOwnTitle) {
  WriteRules({kRules[0], "MR|Laser B|0|FALSE|9|10|10|0|0|0|0"});
  TSetupFrm &setup = CreateForms().setupFrm;
  setup.RuleGrid->selectRow(1);
  ModalAnswerer answerer;
  AnswerRuleDialog(answerer, [](TRuleCfg &dialog) {
    EXPECT_EQ(dialog.Edit5->text(), "MR");
    dialog.ComboBox1->setCurrentIndex(14); // 1.50
    dialog.CheckBox1->setChecked(true);
  });
  setup.EditClick();
  EXPECT_TRUE(answerer.messages.empty());
  ASSERT_EQ(ProcessPrintingRules().Count(), 2u);
  EXPECT_EQ(ProcessPrintingRules().At(1)->AETitle, "MR");
  EXPECT_EQ(ProcessPrintingRules().At(1)->GammaIndex, 14);
  EXPECT_TRUE(ProcessPrintingRules().At(1)->TrueSizePrint);
  EXPECT_EQ(setup.RuleGrid->item(1, 2)->text(), "1.50");

  // Taking the title of the other rule is refused.
  AnswerRuleDialog(answerer, [](TRuleCfg &dialog) { dialog.Edit5->setText("ct"); });
  setup.EditClick();
  EXPECT_EQ(answerer.messages, (std::vector<std::string>{"Corvanel: AET exists already",
                                                         "Corvanel: ERROR, Editing Rule"}));
  EXPECT_EQ(ProcessPrintingRules().At(1)->AETitle, "MR");
}

TEST_F(RuleCfgTest, ARemovedPrinterOpensWithTheFirstPrinter) {
  WriteRules(kRules);
  TSetupFrm &setup = CreateForms().setupFrm;
  setup.RuleGrid->selectRow(1);
  ModalAnswerer answerer;
  AnswerRuleDialog(answerer, [](TRuleCfg &dialog) {
    EXPECT_EQ(dialog.ComboBox2->currentText(), "Laser A");
    EXPECT_EQ(dialog.ComboBox5->currentText(), "LETTER");
    EXPECT_EQ(dialog.ComboBox9->currentText(), "+2");
    EXPECT_EQ(dialog.ComboBox4->currentText(), "-2");
    EXPECT_EQ(dialog.ComboBox6->currentText(), "Sharpen");
    EXPECT_EQ(dialog.ComboBox3->currentText(), "BLACK&WHITE");
    EXPECT_EQ(dialog.ComboBox7->currentText(), "WHITE");
    EXPECT_EQ(dialog.ComboBox8->currentText(), "BLACK");
  });
  setup.EditClick();
  EXPECT_EQ(ProcessPrintingRules().At(1)->Destination, "Laser A");
  EXPECT_EQ(ReadHomeFile("printers.txt"), kRules[0] + "\r\nMR|Laser A|2|TRUE|14|8|12|1|2|1|2\r\n");
}

TEST_F(RuleCfgTest, AddAfterEditShowsTheDefaults) {
  WriteRules(kRules);
  TSetupFrm &setup = CreateForms().setupFrm;
  setup.RuleGrid->selectRow(1);
  ModalAnswerer answerer;
  AnswerRuleDialog(answerer, {}, false);
  setup.EditClick();
  AnswerRuleDialog(
      answerer,
      [](TRuleCfg &dialog) {
        EXPECT_EQ(dialog.Edit5->text(), "CORVANEL");
        EXPECT_EQ(dialog.ComboBox2->currentIndex(), 0);
        EXPECT_EQ(dialog.ComboBox5->currentText(), "CLIENT");
        EXPECT_FALSE(dialog.CheckBox1->isChecked());
        EXPECT_EQ(dialog.ComboBox1->currentText(), "1.00");
        EXPECT_EQ(dialog.ComboBox9->currentText(), "0");
        EXPECT_EQ(dialog.ComboBox4->currentText(), "0");
        for (QComboBox *list :
             {dialog.ComboBox6, dialog.ComboBox3, dialog.ComboBox7, dialog.ComboBox8})
          EXPECT_EQ(list->currentIndex(), 0);
      },
      false);
  setup.AddClick();
  EXPECT_EQ(ReadHomeFile("printers.txt"), kRules[0] + "\r\n" + kRules[1] + "\r\n");
}

TEST_F(RuleCfgTest, ARuleNoLongerInTheListClosesTheDialog) {
  TRuleCfg &dialog = CreateForms().ruleCfg;
  ModalAnswerer answerer;
  dialog.EditIndex = 3;
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  EXPECT_EQ(answerer.messages, (std::vector<std::string>{"Corvanel: ERROR, coudn't read Rules"}));
}

} // namespace
} // namespace ui_test
