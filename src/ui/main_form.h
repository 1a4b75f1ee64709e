#pragma once
// TCorvanelMainForm, "Print Server": the running log (Memo1) and the buttons
// Setup, About and End. Its creation opens the day's log with the echo into
// Memo1 and queues StartServer for when the event loop runs.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "frame/server_frame.h"

class TSetupFrm;

class TCorvanelMainForm : public QWidget {
  Q_OBJECT
public:
  explicit TCorvanelMainForm(QWidget *parent = nullptr);
  ~TCorvanelMainForm() override;

  ServiceFrame &Frame() { return frame_; }
  // The setup dialog that Button1 shows and whose fields feed the start-up.
  void SetSetupForm(TSetupFrm *setup) { setup_ = setup; }

  // The deferred start-up: the frame's sequence (start line, printing rules,
  // listener), Button1 disabled when EnableSetup is false, Timer1 at 1 s. Once.
  void StartServer();
  void Timer1Timer();
  // "Corvanel V<version>", the maker and the print count.
  static QString AboutText();

  QLabel *Image1;
  QPlainTextEdit *Memo1;
  QPushButton *Button1; // Setup
  QPushButton *Button2; // About
  QPushButton *Button3; // End
  QTimer *Timer1;

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  // The closing sequence: start steps stopped, rules released, closing line,
  // log closed and the echo into Memo1 removed. Once.
  void FormClose();

  ServiceFrame frame_;
  TSetupFrm *setup_ = nullptr;
  bool closed_ = false;
};
