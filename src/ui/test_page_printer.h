#pragma once
// How the test print reaches a printer: the queue is set up for the page
// (portrait, paper and colour left at code 0, one copy) and the image printed
// as one page with a header text and a footer (a bitmap file, or a text when no
// such file exists).
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "render/raster.h"

// No value when the printer could not be set up (the failing step has logged
// why); otherwise the status of the page: 0 printed, -1 the document or page
// could not be started, else the status of the failed drawing step.
using TestPagePrinter = std::function<std::optional<int>(
    const std::string &printerName, const Raster &image, const std::string &documentName,
    const std::string &header, const std::string &footer)>;

// The printer names the dialogs offer.
using PrinterLister = std::function<std::vector<std::string>()>;
