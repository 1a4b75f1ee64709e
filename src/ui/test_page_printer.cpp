#include "ui/test_page_printer.h"

#include "render/printer_output.h"

TestPagePrinter DefaultTestPagePrinter() { return PrintTestPage; }
