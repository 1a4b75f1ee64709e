#include "render/printer_device.h"

#include <mutex>

#include "render/cups_printer.h"

namespace {

std::mutex OpenerMutex;
PrinterDeviceOpener TestOpener;

} // namespace

std::unique_ptr<PrinterDevice> OpenPrinterDevice(const std::string& printerName,
                                                 PrinterError& error) {
  PrinterDeviceOpener opener;
  {
    std::lock_guard lock(OpenerMutex);
    opener = TestOpener;
  }
  if (opener) return opener(printerName, error);
  return OpenCupsPrinter(printerName, error);
}

void SetPrinterDeviceOpenerForTesting(PrinterDeviceOpener opener) {
  std::lock_guard lock(OpenerMutex);
  TestOpener = std::move(opener);
}
