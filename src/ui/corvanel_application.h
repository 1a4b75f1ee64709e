#pragma once
// The application object of the operator program: an exception that escapes an
// event handler is shown to the operator with its text instead of ending the
// program.
#include <QApplication>

class CorvanelApplication : public QApplication {
public:
  CorvanelApplication(int &argc, char **argv) : QApplication(argc, argv) {}
  bool notify(QObject *receiver, QEvent *event) override;
};
