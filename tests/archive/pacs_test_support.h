#pragma once
// A PACS for the forwarding tests: DCMTK's storescp on a free loopback port,
// made the PACS of the configuration, and film JPEGs to send to it.
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"

class StoreSCP {
public:
  // extraOptions such as "+xi" come before the port.
  explicit StoreSCP(const std::vector<std::string> &extraOptions = {});
  // The stored files (*.dcm), sorted.
  std::vector<std::string> Files() const;
  // dcmdump of one stored file.
  std::string Dump(const std::string &file) const;
  std::string Log() const { return process_->Stdout() + process_->Stderr(); }
  int port() const { return port_; }

  testing_support::TempDir folder;

private:
  int port_;
  std::unique_ptr<testing_support::ChildProcess> process_;
};

// Makes 127.0.0.1:port with the AE title "STORESCP" the configured PACS.
void UsePacs(int port);

// Writes a JPEG film of width x height (grey or colour) as the file output does.
std::string WriteFilmJpeg(const std::string &path, int width, int height, bool colour);

// The value in brackets of the first dcmdump line naming the attribute, or "".
std::string DumpValue(const std::string &dump, const std::string &name);
