#pragma once
// Print queues of CUPS as printer devices: the job's settings become IPP job
// options checked against the queue, the page is a one-page PDF built with
// Cairo at the media size and submitted as application/pdf.
#include <cstdint>
#include <memory>
#include <string>

#include "render/printer_device.h"

// The PWG media name of a paper code ("iso_a4_210x297mm"); for code 215 the
// custom size "custom_<W>x<H>mm_<W>x<H>mm"; empty for code 0 and codes without
// a media name, which leave the queue's default.
std::string PwgMediaName(int32_t paperCode, int32_t customWidthMm, int32_t customHeightMm);

// "monochrome" for colour code 1, "color" for 2, else empty (the option is not sent).
std::string PrintColorMode(int colorCode);

// Opens the CUPS destination printerName ("queue" or "queue/instance") on the
// scheduler that libcups is pointed at (CUPS_SERVER, client.conf).
std::unique_ptr<PrinterDevice> OpenCupsPrinter(const std::string& printerName,
                                               PrinterError& error);
