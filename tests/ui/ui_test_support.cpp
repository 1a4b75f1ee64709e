#include "ui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "frame/event_log.h"
#include "frame/program_folder.h"
#include "rules/printing_rule.h"

namespace ui_test {
namespace {
// One application for the whole test program, on the offscreen platform unless
// the caller chose another one (for instance to watch the windows).
class QtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

private:
  int argc_ = 1;
  char name_[8] = "test_ui";
  char *argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] auto *const environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
} // namespace

bool WaitUntil(const std::function<bool()> &done, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 10) {
    if (done())
      return true;
    QTest::qWait(10);
  }
  return done();
}

ModalAnswerer::ModalAnswerer() {
  timer_.setInterval(10);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
  timer_.start();
}

ModalAnswerer::~ModalAnswerer() { timer_.stop(); }

// A dialog shown again is answered again: its hiding ends the showing.
bool ModalAnswerer::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::Hide) {
    std::erase_if(answered_, [watched](const QPointer<QWidget> &w) { return !w || w == watched; });
    watched->removeEventFilter(this);
  }
  return false;
}

void ModalAnswerer::Tick() {
  QWidget *modal = QApplication::activeModalWidget();
  if (!modal || std::find(answered_.begin(), answered_.end(), modal) != answered_.end())
    return;
  answered_.emplace_back(modal);
  modal->installEventFilter(this);
  if (auto *box = qobject_cast<QMessageBox *>(modal)) {
    messages.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
    const int reply = messageReply;
    QMetaObject::invokeMethod(
        box, [box, reply] { box->done(reply); }, Qt::QueuedConnection);
  } else if (onDialog) {
    onDialog(modal);
  }
}

void ClickLater(QAbstractButton *button) {
  QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

void SaveScreenshot(QWidget *widget, const std::string &name) {
  const std::string folder = std::string(CORVANEL_BINARY_DIR) + "/ui-screenshots";
  std::filesystem::create_directories(folder);
  const QString path = QString::fromStdString(folder + "/" + name + ".png");
  EXPECT_TRUE(widget->grab().save(path, "PNG")) << path.toStdString();
}

void UiTest::SetUp() {
  SetProgramFolder(home_.folder());
  setenv("XDG_CONFIG_HOME", (home_.path() / "config").c_str(), 1);
  port = testing_support::FreePort();
  ProcessPrintingRules().Clear();
}

void UiTest::TearDown() {
  forms.reset();
  ProcessPrintingRules().Clear();
  LogLevel = 0;
}

void UiTest::WriteIni(const std::string &corvanelLines, const std::string &extraSections) {
  testing_support::WriteFile(home_.path() / "corvanel.ini",
                             "[CORVANEL]\r\nPort=" + std::to_string(port) + "\r\n" + corvanelLines +
                                 extraSections);
}

void UiTest::WriteRules(const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines)
    text += line + "\r\n";
  testing_support::WriteFile(home_.path() / "printers.txt", text);
}

std::string UiTest::ReadHomeFile(const std::string &name) const {
  return testing_support::ReadFile(home_.path() / name);
}

CorvanelForms &UiTest::CreateForms(bool start) {
  if (!std::filesystem::exists(home_.path() / "corvanel.ini"))
    WriteIni();
  FormServices services;
  services.printers = [this] { return printers; };
  services.testPagePrinter = [this](const std::string &printer, const Raster &image,
                                    const std::string &document, const std::string &header,
                                    const std::string &footer) {
    printed.push_back({printer, image, document, header, footer});
    return pageStatus;
  };
  forms = std::make_unique<CorvanelForms>(services);
  if (start) {
    EXPECT_TRUE(WaitUntil([this] { return forms->mainForm.Timer1->isActive(); }));
  }
  return *forms;
}

} // namespace ui_test
