#pragma once
// TRuleCfg: the modal dialog that adds a printing rule or edits one. It
// changes the process-wide rules list and saves the whole list to
// "printers.txt" when OK is pressed.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>

#include "rules/printing_rule.h"
#include "ui/test_page_printer.h"

class TRuleCfg : public QDialog {
  Q_OBJECT
public:
  explicit TRuleCfg(const PrinterLister &printers, QWidget *parent = nullptr);

  // 0 adds a rule; n > 0 edits the rule of grid row n (list position n - 1).
  int32_t EditIndex = 0;

  // Sets every control for the rule being edited, or to the defaults of a new
  // rule. Runs each time the dialog is shown.
  void FormActivate();
  void BitBtn1Click();

  QLineEdit *Edit5;     // AET
  QComboBox *ComboBox2; // printer (destination)
  QComboBox *ComboBox5; // paper size
  QCheckBox *CheckBox1; // true size print
  QComboBox *ComboBox1; // gamma
  QComboBox *ComboBox9; // contrast
  QComboBox *ComboBox4; // saturation
  QComboBox *ComboBox6; // filter
  QComboBox *ComboBox3; // colour printing
  QComboBox *ComboBox7; // border colour
  QComboBox *ComboBox8; // empty image colour
  QPushButton *BitBtn1; // OK
  QPushButton *BitBtn2; // Cancel

protected:
  void showEvent(QShowEvent *event) override;

private:
  bool LoadRuleIntoControls(const PrintingRules &list, int32_t n);
  bool AddRuleFromControls(PrintingRules &list);
  bool UpdateRuleFromControls(PrintingRules &list, int32_t n);
  PrintingRule RuleFromControls() const;
  bool AETitleTaken(const PrintingRules &list, int32_t skipPosition); // says so when taken
};
