// The printing rules file on arbitrary bytes: loaded, each rule written out and
// read back to the same rule text, and a selection made for a called AE title.
#include <cstdlib>

#include "fuzz_input_file.h"
#include "rules/printing_rule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzInputFile file(data, size);
  if (!file.Open())
    return 0;
  PrintingRules rules;
  if (!LoadRules(rules, file.Path()))
    return 0;
  for (const PrintingRule &rule : rules.Snapshot()) {
    const std::string line = FormatRule(rule);
    if (FormatRule(ParseRule(line)) != line)
      std::abort();
    RuleGridCells(rule);
  }
  rules.Select("CORVANEL", 0);
  rules.Select("", static_cast<int>(size % 7) - 1);
  return 0;
}
