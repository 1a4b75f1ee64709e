#include "ui/setup_frm.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QVBoxLayout>

#include "frame/configuration.h"
#include "frame/event_log.h"
#include "frame/server_frame.h"
#include "rules/printing_rule.h"
#include "ui/combo_items.h"
#include "ui/rule_cfg.h"
#include "ui/test_print.h"

namespace {
const std::vector<std::string> kLogLevels{"Only Error LOG", "High Level Msg", "Tag Level Msg"};
const std::vector<std::string> kAlignments{"LEFT", "CENTER", "RIGHT"};
const std::vector<std::string> kPacsFormats{"PDF", "JPEG", ""};
constexpr int kCenter = 1;
constexpr std::array<int, 4> kGridWidths{120, 175, 80, 80};
constexpr std::array<const char *, 6> kFilmSizes{"14INX17IN", "14INX14IN", "11INX14IN",
                                                 "10INX12IN", "8INX10IN",  "DEFAULT"};

std::array<int32_t *, 6> PaperFields(Film2paper &table) {
  return {&table.Film14x17, &table.Film14x14, &table.Film11x14,
          &table.Film10x12, &table.Film8x10,  &table.Default};
}

// The text as a whole number; 0 when it is none.
int32_t WholeNumber(const QLineEdit *field) {
  bool ok = false;
  const int value = field->text().trimmed().toInt(&ok);
  return ok ? value : 0;
}

QString Trimmed(const QString &text) { return text.trimmed(); }
} // namespace

TSetupFrm::TSetupFrm(ServiceFrame &frame, TRuleCfg &ruleCfg, QWidget *parent)
    : QDialog(parent), ruleCfg_(ruleCfg) {
  setObjectName("SetupFrm");
  setWindowTitle("Setup");
  Tabs = new QTabWidget;
  Tabs->addTab(GeneralTab(), "General");
  Tabs->addTab(PrinterTab(), "Printer");
  Tabs->addTab(PaperTab(), "Paper");
  Tabs->addTab(RulesTab(), "Rules");
  Tabs->addTab(PacsTab(), "PACS");
  OKButton = new QPushButton("OK");
  CancelButton = new QPushButton("Cancel");
  OKButton->setObjectName("OKButton");
  CancelButton->setObjectName("CancelButton");
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(Tabs);
  layout->addLayout(buttons);

  connect(OKButton, &QPushButton::clicked, this, &TSetupFrm::OKClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(EnableHeadersBox, &QCheckBox::toggled, this, &TSetupFrm::EnableHeadersClick);
  connect(PrintTestImage, &QPushButton::clicked, this, [this] {
    if (testPrint_)
      testPrint_->exec();
  });
  connect(AddButton, &QPushButton::clicked, this, &TSetupFrm::AddClick);
  connect(EditButton, &QPushButton::clicked, this, &TSetupFrm::EditClick);
  connect(DeleteButton, &QPushButton::clicked, this, &TSetupFrm::DeleteClick);

  SelectPosition(HeaderPosList, kCenter);
  SelectPosition(FooterPosList, kCenter);
  frame.LoadSettings();
  ShowSettings();
}

QWidget *TSetupFrm::GeneralTab() {
  InPort = new QLineEdit;
  DefaultAET = NewChoiceList({});
  LogLevelList = NewChoiceList(kLogLevels);
  InPort->setObjectName("InPort");
  DefaultAET->setObjectName("DefaultAET");
  LogLevelList->setObjectName("LogLevelList");
  auto *network = new QGroupBox("Network");
  auto *form = new QFormLayout(network);
  form->addRow("InPort:", InPort);
  form->addRow("Default AET:", DefaultAET);
  form->addRow("LOG Level:", LogLevelList);
  auto *tab = new QWidget;
  auto *layout = new QVBoxLayout(tab);
  layout->addWidget(network);
  layout->addStretch();
  return tab;
}

QWidget *TSetupFrm::PrinterTab() {
  PrintTestImage = new QPushButton("Print Test Image");
  CalibrationBox = new QCheckBox("Calibration");
  ScaleBarBox = new QCheckBox("True Size Scale Bar");
  PresentationLUTBox = new QCheckBox("Presentation LUT Support");
  EnableHeadersBox = new QCheckBox("Enable Headers");
  HeaderLabel = new QLabel("Header:");
  HeaderEdit = new QLineEdit;
  HeaderPosList = NewChoiceList(kAlignments);
  FooterLabel = new QLabel("Footer:");
  FooterEdit = new QLineEdit;
  FooterPosList = NewChoiceList(kAlignments);
  const std::pair<QWidget *, const char *> names[] = {
      {PrintTestImage, "PrintTestImage"},     {CalibrationBox, "CalibrationBox"},
      {ScaleBarBox, "ScaleBarBox"},           {PresentationLUTBox, "PresentationLUTBox"},
      {EnableHeadersBox, "EnableHeadersBox"}, {HeaderLabel, "HeaderLabel"},
      {FooterLabel, "FooterLabel"},           {HeaderEdit, "HeaderEdit"},
      {HeaderPosList, "HeaderPosList"},       {FooterEdit, "FooterEdit"},
      {FooterPosList, "FooterPosList"}};
  for (const auto &[widget, name] : names)
    widget->setObjectName(name);
  // Shown as loaded, never changed here: the setting is kept for the file only.
  PresentationLUTBox->setEnabled(false);
  PresentationLUTBox->setVisible(false);

  auto *tab = new QWidget;
  auto *grid = new QGridLayout(tab);
  grid->addWidget(PrintTestImage, 0, 0, 1, 2, Qt::AlignLeft);
  grid->addWidget(CalibrationBox, 1, 0, 1, 3);
  grid->addWidget(ScaleBarBox, 2, 0, 1, 3);
  grid->addWidget(PresentationLUTBox, 3, 0, 1, 3);
  grid->addWidget(EnableHeadersBox, 4, 0, 1, 3);
  grid->addWidget(HeaderLabel, 5, 0);
  grid->addWidget(HeaderEdit, 5, 1);
  grid->addWidget(HeaderPosList, 5, 2);
  grid->addWidget(FooterLabel, 6, 0);
  grid->addWidget(FooterEdit, 6, 1);
  grid->addWidget(FooterPosList, 6, 2);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(7, 1);
  SetHeaderControlsEnabled(false);
  return tab;
}

QWidget *TSetupFrm::PaperTab() {
  const std::vector<std::string> choices(PaperChoiceNames.begin(), PaperChoiceNames.end());
  auto *tab = new QWidget;
  auto *form = new QFormLayout;
  for (std::size_t i = 0; i < PaperLists.size(); ++i) {
    PaperLists[i] = NewChoiceList(choices);
    PaperLists[i]->setObjectName(QString("Paper") + kFilmSizes[i]);
    form->addRow(QString(kFilmSizes[i]), PaperLists[i]);
  }
  DefWidthEdit = new QLineEdit;
  DefHeightEdit = new QLineEdit;
  DefWidthEdit->setObjectName("DefWidthEdit");
  DefHeightEdit->setObjectName("DefHeightEdit");
  auto *defined = new QGroupBox("DEFINED Size (mm)");
  auto *size = new QFormLayout(defined);
  size->addRow("Width", DefWidthEdit);
  size->addRow("Height", DefHeightEdit);
  auto *layout = new QVBoxLayout(tab);
  layout->addLayout(form);
  layout->addWidget(defined);
  layout->addStretch();
  return tab;
}

QWidget *TSetupFrm::RulesTab() {
  RuleGrid = new QTableWidget(0, static_cast<int>(kGridWidths.size()));
  RuleGrid->setObjectName("RuleGrid");
  RuleGrid->setHorizontalHeaderLabels({"Printer AET", "Printer Name", "Gamma", "Contrast"});
  for (std::size_t column = 0; column < kGridWidths.size(); ++column)
    RuleGrid->setColumnWidth(static_cast<int>(column), kGridWidths[column]);
  RuleGrid->verticalHeader()->setVisible(false);
  RuleGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  RuleGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  RuleGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  RuleGrid->setMinimumWidth(RuleGrid->frameWidth() * 2 + 120 + 175 + 80 + 80 + 20);
  AddButton = new QPushButton("Add");
  EditButton = new QPushButton("Edit");
  DeleteButton = new QPushButton("Delete");
  AddButton->setObjectName("AddButton");
  EditButton->setObjectName("EditButton");
  DeleteButton->setObjectName("DeleteButton");
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(AddButton);
  buttons->addWidget(EditButton);
  buttons->addWidget(DeleteButton);
  buttons->addStretch();
  auto *tab = new QWidget;
  auto *layout = new QVBoxLayout(tab);
  layout->addWidget(RuleGrid);
  layout->addLayout(buttons);
  return tab;
}

QWidget *TSetupFrm::PacsTab() {
  PacsAETEdit = new QLineEdit;
  PacsIPEdit = new QLineEdit;
  PacsPortEdit = new QLineEdit;
  PacsFormatList = NewChoiceList(kPacsFormats);
  PacsAETEdit->setObjectName("PacsAETEdit");
  PacsIPEdit->setObjectName("PacsIPEdit");
  PacsPortEdit->setObjectName("PacsPortEdit");
  PacsFormatList->setObjectName("PacsFormatList");
  auto *tab = new QWidget;
  auto *form = new QFormLayout;
  form->addRow("AET:", PacsAETEdit);
  form->addRow("IP Address:", PacsIPEdit);
  form->addRow("Port Number:", PacsPortEdit);
  form->addRow("Format", PacsFormatList);
  auto *layout = new QVBoxLayout(tab);
  layout->addLayout(form);
  layout->addStretch();
  return tab;
}

void TSetupFrm::ShowSettings() {
  const std::shared_ptr<const Film2paper> paper = CurrentFilm2paper();
  Film2paper table = *paper;
  const std::array<int32_t *, 6> fields = PaperFields(table);
  for (std::size_t i = 0; i < PaperLists.size(); ++i)
    SelectPosition(PaperLists[i], *fields[i]);
  DefWidthEdit->setText(QString::number(table.DefWidth));
  DefHeightEdit->setText(QString::number(table.DefHeight));

  const std::shared_ptr<const PrintConfiguration> config = CurrentConfiguration();
  InPort->setText(QString::fromStdString(config->Port));
  SelectPosition(LogLevelList, config->LogLevel);
  HeaderEdit->setText(QString::fromStdString(config->Header));
  FooterEdit->setText(QString::fromStdString(config->Footer));
  CalibrationBox->setChecked(config->Calibration);
  EnableHeadersBox->setChecked(config->EnableHeaders);
  SetHeaderControlsEnabled(config->EnableHeaders);
  LogLevel = LogLevelList->currentIndex();
  PresentationLUTBox->setChecked(config->PresentationLUT);
  ScaleBarBox->setChecked(config->ScaleBar);
  SelectPosition(HeaderPosList, config->HeaderPos);
  SelectPosition(FooterPosList, config->FooterPos);
  PacsAETEdit->setText(QString::fromStdString(config->PacsAET));
  PacsIPEdit->setText(QString::fromStdString(config->PacsIP));
  PacsPortEdit->setText(QString::fromStdString(config->PacsPort));
  SelectPosition(PacsFormatList, config->PacsFormat);
}

void TSetupFrm::SetHeaderControlsEnabled(bool enabled) {
  for (QWidget *control : std::initializer_list<QWidget *>{HeaderLabel, HeaderEdit, HeaderPosList,
                                                           FooterLabel, FooterEdit, FooterPosList})
    control->setEnabled(enabled);
}

void TSetupFrm::EnableHeadersClick() { SetHeaderControlsEnabled(EnableHeadersBox->isChecked()); }

void TSetupFrm::FillRuleGrid() {
  const int keepRow = RuleGrid->currentRow();
  const std::vector<PrintingRule> rules = ProcessPrintingRules().Snapshot();
  RuleGrid->setRowCount(static_cast<int>(rules.size()));
  for (std::size_t row = 0; row < rules.size(); ++row) {
    const std::vector<std::string> cells = RuleGridCells(rules[row]);
    for (std::size_t column = 0; column < cells.size(); ++column)
      RuleGrid->setItem(static_cast<int>(row), static_cast<int>(column),
                        new QTableWidgetItem(QString::fromStdString(cells[column])));
  }
  // Like a string grid, a rule row is always selected while there are rules.
  if (!rules.empty())
    RuleGrid->selectRow(std::clamp(keepRow, 0, static_cast<int>(rules.size()) - 1));
}

void TSetupFrm::LoadPrintingRules(int select) {
  // Loaded aside and swapped in whole, so a worker never sees a half-filled list.
  PrintingRules loaded;
  const bool found = LoadRules(loaded, RulesFilePath());
  ProcessPrintingRules().Replace(loaded.Snapshot());
  FillRuleGrid();
  if (!found)
    return;
  DefaultAET->clear();
  for (int row = 0; row < RuleGrid->rowCount(); ++row)
    DefaultAET->addItem(Trimmed(RuleGrid->item(row, 0)->text()));
  SelectPosition(DefaultAET, select);
  if (DefaultAET->currentIndex() < 0 && DefaultAET->count() > 0)
    DefaultAET->setCurrentIndex(0);
}

int TSetupFrm::SelectedRuleRow() const {
  const int row = RuleGrid->currentRow();
  return row >= 0 && row < RuleGrid->rowCount() ? row + 1 : 0;
}

void TSetupFrm::AddClick() {
  const int selected = DefaultAET->currentIndex();
  ruleCfg_.EditIndex = 0;
  ruleCfg_.exec();
  LoadPrintingRules(selected);
}

void TSetupFrm::EditClick() {
  const int row = SelectedRuleRow();
  if (row == 0)
    return;
  const int selected = DefaultAET->currentIndex();
  ruleCfg_.EditIndex = row;
  ruleCfg_.exec();
  LoadPrintingRules(selected);
}

void TSetupFrm::DeleteClick() {
  QMessageBox ask(QMessageBox::Question, "DELETE", "Are you sure you want to delete this rule?",
                  QMessageBox::Ok | QMessageBox::Cancel, this);
  ask.setObjectName("DeleteQuestion");
  if (ask.exec() != QMessageBox::Ok)
    return;
  const int row = SelectedRuleRow();
  if (row == 0)
    return;
  const QString title = Trimmed(RuleGrid->item(row - 1, 0)->text());
  if (!DeleteSelectedRule(ProcessPrintingRules(), row))
    return;
  RuleGrid->removeRow(row - 1);
  SaveRules(ProcessPrintingRules(), RulesFilePath());
  for (int i = DefaultAET->count() - 1; i >= 0; --i)
    if (DefaultAET->itemText(i) == title)
      DefaultAET->removeItem(i);
  SelectPosition(DefaultAET, 0);
}

void TSetupFrm::OKClick() {
  PrintConfiguration config = *CurrentConfiguration();
  config.Port = InPort->text().toStdString();
  config.AETIndex = DefaultAET->currentIndex();
  config.LogLevel = LogLevelList->currentIndex();
  config.Header = HeaderEdit->text().toStdString();
  config.Footer = FooterEdit->text().toStdString();
  config.Calibration = CalibrationBox->isChecked();
  config.EnableHeaders = EnableHeadersBox->isChecked();
  config.PresentationLUT = PresentationLUTBox->isChecked();
  config.ScaleBar = ScaleBarBox->isChecked();
  config.HeaderPos = HeaderPosList->currentIndex();
  config.FooterPos = FooterPosList->currentIndex();
  config.PacsAET = PacsAETEdit->text().toStdString();
  config.PacsIP = PacsIPEdit->text().toStdString();
  config.PacsPort = PacsPortEdit->text().toStdString();
  config.PacsFormat = PacsFormatList->currentIndex();
  const std::string path = ConfigurationPath();
  SaveConfiguration(config, path);
  ReplaceConfiguration(std::move(config));

  Film2paper table = *CurrentFilm2paper();
  const std::array<int32_t *, 6> fields = PaperFields(table);
  for (std::size_t i = 0; i < PaperLists.size(); ++i)
    *fields[i] = PaperLists[i]->currentIndex();
  table.DefWidth = WholeNumber(DefWidthEdit);
  table.DefHeight = WholeNumber(DefHeightEdit);
  table.Save(path);
  ReplaceFilm2paper(table);

  LogLevel = LogLevelList->currentIndex();
  accept();
}
