#pragma once
// Shared set-up of the operator window tests: a QApplication on the offscreen
// platform, a program folder of its own per test, and modal boxes answered
// from a timer.
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "ui/corvanel_forms.h"

namespace ui_test {

// Waits, running the event loop, until done() holds; false after timeoutMs.
bool WaitUntil(const std::function<bool()> &done, int timeoutMs = 5000);

// Answers every modal widget that shows up while it lives, once per showing.
// Message boxes are recorded as "title: text" and closed with messageReply;
// any other modal dialog goes to onDialog (which should close it, best by a
// queued click so that boxes opened by the click are answered too).
class ModalAnswerer : public QObject {
public:
  ModalAnswerer();
  ~ModalAnswerer() override;
  std::vector<std::string> messages;
  QMessageBox::StandardButton messageReply = QMessageBox::Ok;
  std::function<void(QWidget *)> onDialog;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void Tick();
  QTimer timer_;
  std::vector<QPointer<QWidget>> answered_;
};

// Presses a button once control is back in an event loop.
void ClickLater(QAbstractButton *button);

// Saves widget as a PNG under <build>/ui-screenshots/<name>.png.
void SaveScreenshot(QWidget *widget, const std::string &name);

// A program folder with corvanel.ini and printers.txt of the test's own, the
// print counter in it too, and the four forms with printers "Laser A" and
// "Laser B" and a test page printer that records what it was given.
class UiTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // corvanel.ini: [CORVANEL] with Port on a free port plus extra lines, then extraSections.
  void WriteIni(const std::string &corvanelLines = "", const std::string &extraSections = "");
  void WriteRules(const std::vector<std::string> &lines);
  std::string Home() const { return home_.folder(); }
  std::string ReadHomeFile(const std::string &name) const;

  // Creates the forms; with start, runs the event loop until StartServer has run.
  CorvanelForms &CreateForms(bool start = true);

  struct PrintedPage {
    std::string printer;
    Raster image;
    std::string document;
    std::string header;
    std::string footer;
  };
  std::vector<PrintedPage> printed;
  std::optional<int> pageStatus = 0; // what the test page printer answers
  std::vector<std::string> printers{"Laser A", "Laser B"};
  int port = 0;
  std::unique_ptr<CorvanelForms> forms;

private:
  testing_support::TempDir home_;
};

} // namespace ui_test
