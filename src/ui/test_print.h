#pragma once
// TTestPrint: prints the grey test image on a chosen printer with a chosen
// gamma and contrast step, so that a printer's tone reproduction can be judged.
#include <QComboBox>
#include <QDialog>
#include <QPushButton>

#include "ui/test_page_printer.h"

class TTestPrint : public QDialog {
  Q_OBJECT
public:
  TTestPrint(const PrinterLister &printers, TestPagePrinter printer, QWidget *parent = nullptr);

  void BitBtn1Click(); // Print
  void BitBtn2Click(); // Reset

  QComboBox *ComboPrinter;
  QComboBox *Gamma;
  QComboBox *Contrast;
  QPushButton *BitBtn1;
  QPushButton *BitBtn2;

private:
  TestPagePrinter printer_;
};
