#include "ui/main_form.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMetaObject>
#include <QVBoxLayout>

#include "frame/configuration.h"
#include "frame/event_log.h"
#include "frame/print_counter.h"
#include "ui/logo.h"
#include "ui/memo_echo.h"
#include "ui/setup_frm.h"

TCorvanelMainForm::TCorvanelMainForm(QWidget *parent)
    : QWidget(parent), frame_("TCorvanelMainForm") {
  setObjectName("CorvanelMainForm");
  setWindowTitle("Print Server");
  Image1 = new QLabel;
  Image1->setObjectName("Image1");
  Image1->setPixmap(CorvanelLogo());
  Memo1 = new QPlainTextEdit;
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setMaximumBlockCount(kMemoMaxLines);
  Button1 = new QPushButton("Setup");
  Button2 = new QPushButton("About");
  Button3 = new QPushButton("End");
  Button1->setObjectName("Button1");
  Button2->setObjectName("Button2");
  Button3->setObjectName("Button3");
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");

  auto *buttons = new QVBoxLayout;
  for (QPushButton *button : {Button1, Button2, Button3})
    buttons->addWidget(button);
  buttons->addStretch();
  auto *top = new QHBoxLayout;
  top->addWidget(Image1, 0, Qt::AlignLeft | Qt::AlignTop);
  top->addStretch();
  top->addLayout(buttons);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(Memo1, 1);
  resize(720, 460);

  connect(Button1, &QPushButton::clicked, this, [this] {
    if (setup_)
      setup_->exec();
  });
  connect(Button2, &QPushButton::clicked, this, [this] {
    QMessageBox about(QMessageBox::Information, "Corvanel", AboutText(), QMessageBox::Ok, this);
    about.setObjectName("AboutBox");
    about.exec();
  });
  connect(Button3, &QPushButton::clicked, this, &QWidget::close);
  connect(Timer1, &QTimer::timeout, this, &TCorvanelMainForm::Timer1Timer);

  // FormCreate
  Memo1->clear();
  SetLogEchoSink(MemoEchoSink(Memo1));
  frame_.Create();
  QMetaObject::invokeMethod(this, &TCorvanelMainForm::StartServer, Qt::QueuedConnection);
}

TCorvanelMainForm::~TCorvanelMainForm() { FormClose(); }

void TCorvanelMainForm::StartServer() {
  if (closed_)
    return;
  frame_.StartServer();
  if (!CurrentConfiguration()->EnableSetup)
    Button1->setEnabled(false);
  const auto interval = frame_.TimerInterval();
  if (interval.count() > 0 && !Timer1->isActive())
    Timer1->start(interval);
}

void TCorvanelMainForm::Timer1Timer() {
  Timer1->stop();
  Timer1->start(frame_.Timer1Timer());
}

QString TCorvanelMainForm::AboutText() {
  return QString::fromStdString(
      "Corvanel V" + FileVersionText("") +
      "\n\rVeltrano.\r\nPrint Count = " + std::to_string(ReadPrintCount()) + "\r\n");
}

void TCorvanelMainForm::closeEvent(QCloseEvent *event) {
  FormClose();
  event->accept();
}

void TCorvanelMainForm::FormClose() {
  if (closed_)
    return;
  closed_ = true;
  Timer1->stop();
  frame_.Close();
  SetLogEchoSink({});
}
