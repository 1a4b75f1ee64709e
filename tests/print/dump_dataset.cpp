#include "dump_dataset.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "dicom/buf_data.h"
#include "support/test_support.h"

DcmObj DatasetFromDump(const std::string &dumpText, SequenceLengths lengths) {
  testing_support::TempDir dir;
  const auto dump = dir.path() / "request.dump";
  const auto raw = dir.path() / "request.raw";
  testing_support::WriteFile(dump, dumpText);
  std::string output;
  int code = testing_support::RunCommand({"dump2dcm", "-F", "+ti",
                                          lengths == SequenceLengths::Undefined ? "-e" : "+e",
                                          dump.string(), raw.string()},
                                         &output);
  DcmObj dataset;
  if (code != 0) {
    ADD_FAILURE() << "dump2dcm failed: " << output;
    return dataset;
  }
  const std::string bytes = testing_support::ReadFile(raw);
  BufData buffer;
  buffer.Assign(bytes.data(), bytes.size());
  if (!buffer.ReadObj(dataset))
    ADD_FAILURE() << "the data set does not decode";
  return dataset;
}

std::string PixelDataLine(const std::vector<int> &samples, bool words) {
  std::string line = words ? "(7fe0,0010) OW " : "(7fe0,0010) OB ";
  for (std::size_t i = 0; i < samples.size(); ++i) {
    char text[8];
    std::snprintf(text, sizeof text, words ? "%04x" : "%02x", samples[i] & (words ? 0xFFFF : 0xFF));
    line += (i ? "\\" : "") + std::string(text);
  }
  return line + "\n";
}
