#pragma once
// Printing rules: the called AE title of an association selects the rule that
// says where its films go and how they are processed. The rules live in
// "printers.txt" in the program folder, one "|"-separated line per rule.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct PrintingRule {
  std::string AETitle = "CORVANEL"; // trimmed, upper case
  std::string Destination;          // a printer name, or "JPEG", "PDF", "DICOM", "PACS"
  int32_t PaperChoice = 0;          // index into PaperLabels()
  bool TrueSizePrint = false;
  int32_t GammaIndex = 9;       // gamma = 0.1 + index / 10
  int32_t ContrastIndex = 10;   // contrast = 10 - index
  int32_t SaturationIndex = 10; // saturation = 10 - index
  int32_t FilterIndex = 0;      // 0 None, 1 Sharpen, 2 Smooth
  int32_t ColorPrinting = 0;    // 0 CLIENT, 1 COLOR, 2 BLACK&WHITE, 3 DRIVER
  int32_t BorderColor = 0;      // 0 CLIENT, 1 WHITE, 2 BLACK
  int32_t EmptyImageColor = 0;  // 0 CLIENT, 1 WHITE, 2 BLACK

  bool operator==(const PrintingRule &) const = default;
};

// The labels of the index fields, by index from 0, as the rule dialog shows them.
const std::vector<std::string> &PaperLabels();       // "CLIENT", "A4", ... "A3+"
const std::vector<std::string> &GammaLabels();       // "0.10" ... "2.90"
const std::vector<std::string> &ContrastLabels();    // "+10" ... "0" ... "-10" (also saturation)
const std::vector<std::string> &FilterLabels();      // "None", "Sharpen", "Smooth"
const std::vector<std::string> &ColorLabels();       // "CLIENT", "COLOR", "BLACK&WHITE", "DRIVER"
const std::vector<std::string> &ForcedColorLabels(); // "CLIENT", "WHITE", "BLACK"

// The label of index in labels, or the empty text when the index has none
// (a hand-edited file may hold any number).
std::string LabelOf(const std::vector<std::string> &labels, int32_t index);

// One line of "printers.txt" (without its line end) to a rule and back.
PrintingRule ParseRule(const std::string &line);
std::string FormatRule(const PrintingRule &rule);

// The four cells of a rule's row in the setup dialog's rule grid: AE title,
// destination, gamma label, contrast label (empty when out of range).
std::vector<std::string> RuleGridCells(const PrintingRule &rule);

// The ordered process-wide list of rules. Association workers read it while the
// operator window changes it, so every access takes one lock, and readers get
// copies, never references into the list.
class PrintingRules {
public:
  std::vector<PrintingRule> Snapshot() const;
  std::size_t Count() const;
  std::optional<PrintingRule> At(std::size_t position) const;

  void Replace(std::vector<PrintingRule> rules);
  void Add(PrintingRule rule);
  bool Update(std::size_t position, PrintingRule rule); // false when out of range
  bool Remove(std::size_t position);                    // false when out of range
  void Clear();

  // The rule for a called AE title: the last rule whose AETitle equals it
  // exactly (case-sensitive); when none does, or the title is empty, the rule
  // at defaultPosition (the AETIndex setting); none when that is negative or
  // beyond the list.
  std::optional<PrintingRule> Select(const std::string &calledAETitle, int defaultPosition) const;

private:
  mutable std::mutex mutex_;
  std::vector<PrintingRule> rules_;
};

// The list the server uses.
PrintingRules &ProcessPrintingRules();

// Empties list, then fills it from the file at path, one rule per line (empty
// lines included; a UTF-8 or UTF-16 byte-order mark is understood). False when
// the file does not exist (the list stays empty).
bool LoadRules(PrintingRules &list, const std::string &path);

// Replaces the file at path by the list, every line ending in CR LF. The lines
// go to a temporary file first, which is renamed over the old file, so a failed
// write never leaves a half-written rules file. False (with a log line) on error.
bool SaveRules(const PrintingRules &list, const std::string &path);

// Removes the rule of the selected grid row (rule rows count from 1, row 0 is
// the title row) from the list; false when no rule has that row.
bool DeleteSelectedRule(PrintingRules &list, int selectedRow);

// The rule for the called AE title from the process-wide list, with the
// default position given by the configured AETIndex.
std::optional<PrintingRule> SelectRule(const std::string &calledAETitle, int aetIndex);

// Program folder + "printers.txt".
std::string RulesFilePath();
