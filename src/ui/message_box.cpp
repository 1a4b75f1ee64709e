#include "ui/message_box.h"

#include <QMessageBox>

void ShowMessage(QWidget *parent, const QString &text) {
  QMessageBox box(QMessageBox::NoIcon, "Corvanel", text, QMessageBox::Ok, parent);
  box.setObjectName("ShowMessage");
  box.exec();
}
