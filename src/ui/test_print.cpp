#include "ui/test_print.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "frame/event_log.h"
#include "frame/program_folder.h"
#include "rules/printing_rule.h"
#include "ui/combo_items.h"
#include "ui/test_pattern.h"

namespace {
constexpr int kGammaOne = 9; // "1.00"

const std::vector<std::string> &TestContrastLabels() {
  static const std::vector<std::string> labels{"+5", "+4", "+3", "+2", "+1", "0",
                                               "-1", "-2", "-3", "-4", "-5"};
  return labels;
}

QLabel *WhiteBoldLabel(const QString &text) {
  auto *label = new QLabel(text);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  label->setStyleSheet("color: white;");
  return label;
}
} // namespace

TTestPrint::TTestPrint(const PrinterLister &printers, TestPagePrinter printer, QWidget *parent)
    : QDialog(parent), printer_(std::move(printer)) {
  setObjectName("TestPrint");
  setWindowTitle("Test Print");
  setFixedSize(312, 262);
  setAutoFillBackground(true);
  QPalette shade = palette();
  shade.setColor(QPalette::Window, QColor(64, 64, 64));
  setPalette(shade);

  // FormCreate
  ComboPrinter = NewChoiceList(printers(), "Select Printer", this);
  SelectPosition(ComboPrinter, 0);
  Gamma = NewChoiceList(GammaLabels(), "Gamma Value", this);
  Contrast = NewChoiceList(TestContrastLabels(), "Contrast Value", this);
  BitBtn1 = new QPushButton("Print", this);
  BitBtn2 = new QPushButton("Reset", this);
  ComboPrinter->setObjectName("ComboPrinter");
  Gamma->setObjectName("Gamma");
  Contrast->setObjectName("Contrast");
  BitBtn1->setObjectName("BitBtn1");
  BitBtn2->setObjectName("BitBtn2");
  BitBtn2Click();

  auto *fields = new QGridLayout;
  fields->addWidget(WhiteBoldLabel("Printer"), 0, 0);
  fields->addWidget(ComboPrinter, 0, 1);
  fields->addWidget(WhiteBoldLabel("Gamma"), 1, 0);
  fields->addWidget(Gamma, 1, 1);
  fields->addWidget(WhiteBoldLabel("Contrast"), 2, 0);
  fields->addWidget(Contrast, 2, 1);
  fields->setColumnStretch(1, 1);
  fields->setVerticalSpacing(14);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 24, 20, 20);
  layout->addLayout(fields);
  layout->addStretch();
  layout->addLayout(buttons);

  connect(BitBtn1, &QPushButton::clicked, this, &TTestPrint::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TTestPrint::BitBtn2Click);
}

void TTestPrint::BitBtn1Click() {
  const std::string printerName = SelectedText(ComboPrinter);
  const double gamma = Gamma->currentText().toDouble();
  const ToneTable table = TestPrintToneTable(gamma, Contrast->currentIndex());
  const std::string folder = ProgramFolder();
  const Raster image = BuildTestImage(folder + "smpte.bmp", table);
  const std::optional<int> status =
      printer_(printerName, image, "Corvanel Test Print", "", folder + "footer.bmp");
  if (!status)
    return; // the printer could not be set up: the dialog stays open
  if (*status != 0)
    WriteLog("ERROR, PrintBitmap, status = " + std::to_string(*status));
  accept();
}

void TTestPrint::BitBtn2Click() {
  SelectPosition(Gamma, kGammaOne);
  SelectPosition(Contrast, kTestContrastZero);
}
