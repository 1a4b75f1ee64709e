#include "render/printer_device.h"

#include "frame/event_log.h"

// Printing to a print queue is not built yet: every printer destination fails.
std::unique_ptr<PrinterDevice> OpenPrinterDevice(const std::string& printerName,
                                                 const PrintJobSettings&, int* status) {
  WriteLog("ERROR, FilmBox::Print, printer output is not available, Printer Name=" + printerName);
  *status = 531;
  return nullptr;
}
