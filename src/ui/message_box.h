#pragma once
// The plain message box of the dialogs' messages.
#include <QWidget>

void ShowMessage(QWidget *parent, const QString &text);
