// corvanel.ini on arbitrary bytes: the INI layer, the configuration and the
// film-size table read from it, and writes that cannot add lines of their own.
#include <algorithm>
#include <cstdlib>

#include "frame/configuration.h"
#include "frame/ini_file.h"
#include "fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzInputFile file(data, size);
  if (!file.Open())
    return 0;
  PrintConfiguration config;
  LoadConfiguration(config, file.Path());
  if (config.ImageDir.empty())
    std::abort();
  Film2paper table;
  table.Load(file.Path());
  PaperForFilmSize(table, "14INX17IN");

  IniFile ini;
  if (!ini.Load(file.Path()))
    return 0;
  const std::string port = ini.ReadString("CORVANEL", "Port", "104");
  if (port.size() > IniFile::MaxValueLength)
    std::abort();
  // A write adds at most its key's line, its section's line and a blank line
  // before it, whatever the value holds; writing back what it left reads the
  // same again.
  const auto lines = [&ini] {
    const std::string text = ini.Text();
    return std::count(text.begin(), text.end(), '\n');
  };
  const auto before = lines();
  ini.WriteString("CORVANEL", "Port", port);
  if (lines() > before + 3)
    std::abort();
  const std::string written = ini.ReadString("CORVANEL", "Port", "104");
  ini.WriteString("CORVANEL", "Port", written);
  if (ini.ReadString("CORVANEL", "Port", "104") != written)
    std::abort();
  ini.WriteInteger("PAPER", "DEFAULT", 9);
  if (ini.ReadInteger("PAPER", "DEFAULT", 0) != 9)
    std::abort();
  return 0;
}
