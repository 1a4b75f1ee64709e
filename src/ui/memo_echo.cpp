#include "ui/memo_echo.h"

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {
constexpr std::chrono::milliseconds kEchoWait{500};

// Set by the window once it has taken a line; outlives a waiter that gave up.
struct Delivery {
  std::mutex mutex;
  std::condition_variable taken;
  bool done = false;
};
} // namespace

void AppendMemoLine(QPlainTextEdit *memo, const QString &text) { memo->appendPlainText(text); }

LogEchoSink MemoEchoSink(QPlainTextEdit *memo) {
  return [memo](const std::string &text) {
    const QString line = QString::fromStdString(text);
    if (QThread::currentThread() == memo->thread()) {
      AppendMemoLine(memo, line);
      return;
    }
    auto delivery = std::make_shared<Delivery>();
    QMetaObject::invokeMethod(
        memo,
        [memo, line, delivery] {
          AppendMemoLine(memo, line);
          std::lock_guard lock(delivery->mutex);
          delivery->done = true;
          delivery->taken.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(delivery->mutex);
    delivery->taken.wait_for(lock, kEchoWait, [&] { return delivery->done; });
  };
}
