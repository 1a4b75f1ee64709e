#include "ui/test_page_printer.h"

#include "frame/event_log.h"

// Raster pages reach print queues only through the film output so far; until a
// plain page printer exists the test print reports the queue as not set up.
TestPagePrinter DefaultTestPagePrinter() {
  return [](const std::string &printerName, const Raster &, const std::string &,
            const std::string &, const std::string &) -> std::optional<int> {
    WriteLog("ERROR, Test Print, printer output is not available, Printer Name=" + printerName);
    return std::nullopt;
  };
}
