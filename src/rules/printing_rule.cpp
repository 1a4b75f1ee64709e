#include "rules/printing_rule.h"

#include <cstdio>

#include "frame/decimal_text.h"

namespace {

std::vector<std::string> MakeGammaLabels() {
  std::vector<std::string> labels;
  for (int tenths = 1; tenths <= 29; ++tenths) {
    char text[8];
    std::snprintf(text, sizeof text, "%d.%d0", tenths / 10, tenths % 10);
    labels.emplace_back(text);
  }
  return labels;
}

std::vector<std::string> MakeContrastLabels() {
  std::vector<std::string> labels;
  for (int value = 10; value >= -10; --value)
    labels.push_back(value > 0 ? "+" + std::to_string(value) : std::to_string(value));
  return labels;
}

// Field k (from 1) of a "|"-separated line; the empty text beyond the last field.
std::string Field(const std::string &line, int k) {
  std::size_t start = 0;
  for (int i = 1; i < k; ++i) {
    std::size_t bar = line.find('|', start);
    if (bar == std::string::npos)
      return {};
    start = bar + 1;
  }
  std::size_t end = line.find('|', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string TrimmedUpper(const std::string &text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
    ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
    --end;
  std::string result = text.substr(begin, end - begin);
  for (char &c : result)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return result;
}

} // namespace

const std::vector<std::string> &PaperLabels() {
  static const std::vector<std::string> labels = {"CLIENT", "A4", "LETTER", "A3", "TABLOID",
                                                  "LEGAL",  "A5", "A6",     "A3+"};
  return labels;
}

const std::vector<std::string> &GammaLabels() {
  static const std::vector<std::string> labels = MakeGammaLabels();
  return labels;
}

const std::vector<std::string> &ContrastLabels() {
  static const std::vector<std::string> labels = MakeContrastLabels();
  return labels;
}

const std::vector<std::string> &FilterLabels() {
  static const std::vector<std::string> labels = {"None", "Sharpen", "Smooth"};
  return labels;
}

const std::vector<std::string> &ColorLabels() {
  static const std::vector<std::string> labels = {"CLIENT", "COLOR", "BLACK&WHITE", "DRIVER"};
  return labels;
}

const std::vector<std::string> &ForcedColorLabels() {
  static const std::vector<std::string> labels = {"CLIENT", "WHITE", "BLACK"};
  return labels;
}

std::string LabelOf(const std::vector<std::string> &labels, int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= labels.size())
    return {};
  return labels[static_cast<std::size_t>(index)];
}

PrintingRule ParseRule(const std::string &line) {
  PrintingRule rule;
  rule.AETitle = TrimmedUpper(Field(line, 1));
  rule.Destination = Field(line, 2);
  rule.PaperChoice = DecimalOr(Field(line, 3), 0);
  rule.TrueSizePrint = Field(line, 4) == "TRUE";
  int32_t *indexes[] = {&rule.GammaIndex,     &rule.ContrastIndex, &rule.SaturationIndex,
                        &rule.FilterIndex,    &rule.ColorPrinting, &rule.BorderColor,
                        &rule.EmptyImageColor};
  int k = 5;
  for (int32_t *index : indexes)
    *index = DecimalOr(Field(line, k++), 0);
  return rule;
}

std::string FormatRule(const PrintingRule &rule) {
  std::string line = rule.AETitle + "|" + rule.Destination + "|" +
                     std::to_string(rule.PaperChoice) + (rule.TrueSizePrint ? "|TRUE" : "|FALSE");
  for (int32_t value : {rule.GammaIndex, rule.ContrastIndex, rule.SaturationIndex, rule.FilterIndex,
                        rule.ColorPrinting, rule.BorderColor, rule.EmptyImageColor})
    line += "|" + std::to_string(value);
  return line;
}

std::vector<std::string> RuleGridCells(const PrintingRule &rule) {
  return {rule.AETitle, rule.Destination, LabelOf(GammaLabels(), rule.GammaIndex),
          LabelOf(ContrastLabels(), rule.ContrastIndex)};
}
