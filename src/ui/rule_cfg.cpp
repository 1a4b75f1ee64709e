#include "ui/rule_cfg.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QVBoxLayout>

#include "ui/combo_items.h"
#include "ui/message_box.h"

namespace {
constexpr int kDefaultGamma = 9;     // "1.00"
constexpr int kDefaultContrast = 10; // "0"

QGroupBox *Group(const QString &title, QFormLayout *&form) {
  auto *group = new QGroupBox(title);
  QFont bold = group->font();
  bold.setBold(true);
  group->setFont(bold);
  form = new QFormLayout(group);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return group;
}

// Rows keep the dialog's normal font; only the group titles are bold.
void AddRow(QFormLayout *form, const QString &label, QWidget *field) {
  auto *text = label.isEmpty() ? nullptr : new QLabel(label);
  QFont normal = field->font();
  normal.setBold(false);
  field->setFont(normal);
  if (text) {
    text->setFont(normal);
    form->addRow(text, field);
  } else {
    form->addRow(field);
  }
}

std::vector<std::string> DestinationItems(const PrinterLister &printers) {
  std::vector<std::string> items = printers();
  for (const char *file : {"JPEG", "PDF", "DICOM", "PACS"})
    items.emplace_back(file);
  return items;
}
} // namespace

TRuleCfg::TRuleCfg(const PrinterLister &printers, QWidget *parent) : QDialog(parent) {
  setObjectName("RuleCfg");
  setWindowTitle("Rule Configuration");
  // FormCreate: the printers are listed once; a restart shows newly installed ones.
  EditIndex = 0;
  Edit5 = new QLineEdit;
  ComboBox2 = NewChoiceList(DestinationItems(printers), "Select Printer");
  ComboBox5 = NewChoiceList(PaperLabels(), "Select Paper Size");
  CheckBox1 = new QCheckBox("True Size Print");
  ComboBox1 = NewChoiceList(GammaLabels(), "Gamma Value");
  ComboBox9 = NewChoiceList(ContrastLabels(), "Contrast Value");
  ComboBox4 = NewChoiceList(ContrastLabels(), "Saturation Value");
  ComboBox6 = NewChoiceList(FilterLabels(), "Filters");
  ComboBox3 = NewChoiceList(ColorLabels(), "Select Color Printing");
  ComboBox7 = NewChoiceList(ForcedColorLabels(), "Select Border Color");
  ComboBox8 = NewChoiceList(ForcedColorLabels(), "Empty Image Color");
  BitBtn1 = new QPushButton("OK");
  BitBtn2 = new QPushButton("Cancel");
  const std::pair<QWidget *, const char *> names[] = {
      {Edit5, "Edit5"},         {ComboBox2, "ComboBox2"}, {ComboBox5, "ComboBox5"},
      {CheckBox1, "CheckBox1"}, {ComboBox1, "ComboBox1"}, {ComboBox9, "ComboBox9"},
      {ComboBox4, "ComboBox4"}, {ComboBox6, "ComboBox6"}, {ComboBox3, "ComboBox3"},
      {ComboBox7, "ComboBox7"}, {ComboBox8, "ComboBox8"}, {BitBtn1, "BitBtn1"},
      {BitBtn2, "BitBtn2"}};
  for (const auto &[widget, name] : names)
    widget->setObjectName(name);

  QFormLayout *form = nullptr;
  QGroupBox *printerGroup = Group("Printer Settings", form);
  AddRow(form, "AET:", Edit5);
  AddRow(form, "Printer:", ComboBox2);
  AddRow(form, "Paper Size:", ComboBox5);
  AddRow(form, "", CheckBox1);
  QGroupBox *imageGroup = Group("Image Processing", form);
  AddRow(form, "Gamma:", ComboBox1);
  AddRow(form, "Contrast:", ComboBox9);
  AddRow(form, "Saturation:", ComboBox4);
  AddRow(form, "Filter:", ComboBox6);
  QGroupBox *colourGroup = Group("Forced Colors", form);
  AddRow(form, "Color Printing:", ComboBox3);
  AddRow(form, "Border:", ComboBox7);
  AddRow(form, "Empty Image:", ComboBox8);

  auto *left = new QVBoxLayout;
  left->addWidget(printerGroup);
  left->addWidget(imageGroup);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);
  auto *right = new QVBoxLayout;
  right->addWidget(colourGroup);
  right->addStretch();
  right->addLayout(buttons);
  auto *layout = new QHBoxLayout(this);
  layout->addLayout(left, 3);
  layout->addLayout(right, 2);
  resize(568, 352);

  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, [this] {
    BitBtn1Click();
    accept();
  });
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TRuleCfg::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TRuleCfg::FormActivate() {
  if (EditIndex > 0) {
    if (!LoadRuleIntoControls(ProcessPrintingRules(), EditIndex)) {
      // Answered once the dialog runs, so the message box does not nest in the show.
      QMetaObject::invokeMethod(
          this,
          [this] {
            ShowMessage(this, "ERROR, coudn't read Rules");
            reject();
          },
          Qt::QueuedConnection);
    }
    return;
  }
  Edit5->setText("CORVANEL");
  SelectPosition(ComboBox2, 0);
  SelectPosition(ComboBox5, 0);
  CheckBox1->setChecked(false);
  SelectPosition(ComboBox1, kDefaultGamma);
  SelectPosition(ComboBox9, kDefaultContrast);
  SelectPosition(ComboBox4, kDefaultContrast);
  for (QComboBox *list : {ComboBox6, ComboBox3, ComboBox7, ComboBox8})
    SelectPosition(list, 0);
}

bool TRuleCfg::LoadRuleIntoControls(const PrintingRules &list, int32_t n) {
  if (n < 1)
    return false;
  const std::optional<PrintingRule> rule = list.At(static_cast<std::size_t>(n - 1));
  if (!rule)
    return false;
  Edit5->setText(QString::fromStdString(rule->AETitle));
  // A destination no longer offered (a removed printer) leaves the first item.
  SelectPosition(ComboBox2, 0);
  for (int i = 0; i < ComboBox2->count(); ++i)
    if (ComboBox2->itemText(i).toStdString() == rule->Destination)
      ComboBox2->setCurrentIndex(i);
  SelectPosition(ComboBox5, rule->PaperChoice);
  CheckBox1->setChecked(rule->TrueSizePrint);
  SelectPosition(ComboBox1, rule->GammaIndex);
  SelectPosition(ComboBox9, rule->ContrastIndex);
  SelectPosition(ComboBox4, rule->SaturationIndex);
  SelectPosition(ComboBox6, rule->FilterIndex);
  SelectPosition(ComboBox3, rule->ColorPrinting);
  SelectPosition(ComboBox7, rule->BorderColor);
  SelectPosition(ComboBox8, rule->EmptyImageColor);
  return true;
}

void TRuleCfg::BitBtn1Click() {
  if (Edit5->text().isEmpty()) {
    ShowMessage(this, "AET cannot be empty!");
    return;
  }
  // Blanks around the title stay; reading the rules file trims them.
  Edit5->setText(Edit5->text().toUpper());
  PrintingRules &rules = ProcessPrintingRules();
  if (EditIndex != 0) {
    if (!UpdateRuleFromControls(rules, EditIndex))
      ShowMessage(this, "ERROR, Editing Rule");
  } else if (!AddRuleFromControls(rules)) {
    ShowMessage(this, "ERROR, Adding Rule");
  }
  SaveRules(rules, RulesFilePath());
}

PrintingRule TRuleCfg::RuleFromControls() const {
  PrintingRule rule;
  rule.AETitle = Edit5->text().toStdString();
  rule.Destination = SelectedText(ComboBox2);
  rule.PaperChoice = ComboBox5->currentIndex();
  rule.TrueSizePrint = CheckBox1->isChecked();
  rule.GammaIndex = ComboBox1->currentIndex();
  rule.ContrastIndex = ComboBox9->currentIndex();
  rule.SaturationIndex = ComboBox4->currentIndex();
  rule.FilterIndex = ComboBox6->currentIndex();
  rule.ColorPrinting = ComboBox3->currentIndex();
  rule.BorderColor = ComboBox7->currentIndex();
  rule.EmptyImageColor = ComboBox8->currentIndex();
  return rule;
}

bool TRuleCfg::AETitleTaken(const PrintingRules &list, int32_t skipPosition) {
  const std::string title = Edit5->text().toStdString();
  const std::vector<PrintingRule> rules = list.Snapshot();
  for (std::size_t i = 0; i < rules.size(); ++i)
    if (static_cast<int32_t>(i) != skipPosition && rules[i].AETitle == title) {
      ShowMessage(this, "AET exists already");
      return true;
    }
  return false;
}

bool TRuleCfg::AddRuleFromControls(PrintingRules &list) {
  if (AETitleTaken(list, -1))
    return false;
  list.Add(RuleFromControls());
  return true;
}

bool TRuleCfg::UpdateRuleFromControls(PrintingRules &list, int32_t n) {
  if (AETitleTaken(list, n - 1))
    return false;
  return list.Update(static_cast<std::size_t>(n - 1), RuleFromControls());
}
