#include "render/print_job.h"

#include <atomic>

namespace {
std::atomic<int> PrintJobNumber{0};
}

int AdvancePrintJobNumber() {
  int current = PrintJobNumber.load();
  while (!PrintJobNumber.compare_exchange_weak(current, (current + 1) % 1000)) {
  }
  return (current + 1) % 1000;
}

void SetPrintJobNumberForTesting(int number) { PrintJobNumber = number % 1000; }
