#include "ui/corvanel_application.h"

#include <exception>

#include "ui/message_box.h"

bool CorvanelApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &error) {
    ShowMessage(nullptr, QString::fromStdString(error.what()));
  } catch (...) {
    ShowMessage(nullptr, "Unknown exception");
  }
  return false;
}
