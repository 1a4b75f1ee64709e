#include "pacs_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "frame/configuration.h"
#include "render/jpeg_encoder.h"

using namespace testing_support;

StoreSCP::StoreSCP(const std::vector<std::string> &extraOptions) : port_(FreePort()) {
  std::vector<std::string> argv = {"storescp", "-v",  "+xa", "-od", folder.path().string(),
                                   "-fe",      ".dcm"};
  argv.insert(argv.end(), extraOptions.begin(), extraOptions.end());
  argv.push_back(std::to_string(port_));
  process_ = std::make_unique<ChildProcess>(argv);
  EXPECT_TRUE(WaitForPort(port_)) << "storescp did not start";
}

std::vector<std::string> StoreSCP::Files() const {
  std::vector<std::string> files;
  for (const auto &entry : std::filesystem::directory_iterator(folder.path()))
    if (entry.path().extension() == ".dcm")
      files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string StoreSCP::Dump(const std::string &file) const {
  std::string output;
  EXPECT_EQ(RunCommand({"dcmdump", "-M", "-Un", file}, &output), 0) << output;
  return output;
}

void UsePacs(int port) {
  PrintConfiguration config;
  config.PacsAET = "STORESCP";
  config.PacsIP = "127.0.0.1";
  config.PacsPort = std::to_string(port);
  ReplaceConfiguration(config);
}

std::string WriteFilmJpeg(const std::string &path, int width, int height, bool colour) {
  const int components = colour ? 3 : 1;
  std::vector<uint8_t> pixels(size_t(width) * height * components);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = uint8_t(i * 7 + i / 97);
  std::string error;
  EXPECT_TRUE(WriteJpegFile(path, pixels.data(), width, height, colour, &error)) << error;
  return path;
}

std::string DumpValue(const std::string &dump, const std::string &name) {
  std::istringstream lines(dump);
  for (std::string line; std::getline(lines, line);) {
    const size_t hash = line.rfind("# ");
    if (hash == std::string::npos)
      continue;
    std::istringstream tail(line.substr(hash + 2));
    std::string length, multiplicity, keyword;
    tail >> length >> multiplicity >> keyword;
    if (keyword != name)
      continue;
    const size_t open = line.find('['), close = line.find(']', open);
    if (open != std::string::npos && close != std::string::npos && open < hash)
      return line.substr(open + 1, close - open - 1);
    const size_t eq = line.find('=');
    if (eq != std::string::npos && eq < hash)
      return line.substr(eq + 1, line.find(' ', eq) - eq - 1);
    // Numbers stand without brackets: "(0028,0010) US 48  # 2, 1 Rows".
    std::istringstream head(line.substr(0, hash));
    std::string tag, vr, value;
    head >> tag >> vr >> value;
    return value;
  }
  return {};
}
