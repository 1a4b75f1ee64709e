#include "render/printer_list.h"

#include <cups/cups.h>

std::vector<std::string> ListPrinters() {
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  std::vector<std::string> names;
  names.reserve(count > 0 ? static_cast<size_t>(count) : 0);
  for (int i = 0; i < count; ++i) {
    std::string name = dests[i].name ? dests[i].name : "";
    if (dests[i].instance)
      name += std::string("/") + dests[i].instance;
    if (!name.empty())
      names.push_back(std::move(name));
  }
  cupsFreeDests(count, dests);
  return names;
}
