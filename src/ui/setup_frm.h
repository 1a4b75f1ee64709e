#pragma once
// TSetupFrm: the settings of the server on five tabs (General, Printer, Paper,
// Rules, PACS). Its creation loads "corvanel.ini" into the process-wide
// records; OK writes every setting back, Cancel keeps the file as it is. The
// rule buttons change "printers.txt" at once.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <array>
#include <string>

class ServiceFrame;
class TRuleCfg;
class TTestPrint;

class TSetupFrm : public QDialog {
  Q_OBJECT
public:
  // Loads the settings through frame (film-size table, configuration, log level).
  TSetupFrm(ServiceFrame &frame, TRuleCfg &ruleCfg, QWidget *parent = nullptr);
  void SetTestPrint(TTestPrint *testPrint) { testPrint_ = testPrint; }

  // printers.txt into the grid and the process-wide list, then "Default AET:"
  // refilled with the trimmed titles; the entry at select is chosen (the first
  // when select names none and there are rules).
  void LoadPrintingRules(int select);
  // The rule grid's selected rule row, counted from 1; 0 when none.
  int SelectedRuleRow() const;

  void OKClick();
  void AddClick();
  void EditClick();
  void DeleteClick();
  void EnableHeadersClick();

  QTabWidget *Tabs;
  // General
  QLineEdit *InPort;
  QComboBox *DefaultAET;
  QComboBox *LogLevelList;
  // Printer
  QPushButton *PrintTestImage;
  QCheckBox *CalibrationBox;
  QCheckBox *ScaleBarBox;
  QCheckBox *PresentationLUTBox;
  QCheckBox *EnableHeadersBox;
  QLabel *HeaderLabel;
  QLineEdit *HeaderEdit;
  QComboBox *HeaderPosList;
  QLabel *FooterLabel;
  QLineEdit *FooterEdit;
  QComboBox *FooterPosList;
  // Paper: 14INX17IN, 14INX14IN, 11INX14IN, 10INX12IN, 8INX10IN, DEFAULT
  std::array<QComboBox *, 6> PaperLists;
  QLineEdit *DefWidthEdit;
  QLineEdit *DefHeightEdit;
  // Rules
  QTableWidget *RuleGrid;
  QPushButton *AddButton;
  QPushButton *EditButton;
  QPushButton *DeleteButton;
  // PACS
  QLineEdit *PacsAETEdit;
  QLineEdit *PacsIPEdit;
  QLineEdit *PacsPortEdit;
  QComboBox *PacsFormatList;

  QPushButton *OKButton;
  QPushButton *CancelButton;

private:
  QWidget *GeneralTab();
  QWidget *PrinterTab();
  QWidget *PaperTab();
  QWidget *RulesTab();
  QWidget *PacsTab();
  void ShowSettings();
  void SetHeaderControlsEnabled(bool enabled);
  void FillRuleGrid();

  TRuleCfg &ruleCfg_;
  TTestPrint *testPrint_ = nullptr;
};
