#include "ui/stop_signals.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

int BlockStopSignals() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0)
    return -1;
  const int fd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (fd < 0)
    pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
  return fd;
}

void CloseOnStopSignal(int fd, QWidget *window) {
  if (fd < 0)
    return;
  auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [fd, window] {
    signalfd_siginfo info;
    while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    window->close();
  });
}
