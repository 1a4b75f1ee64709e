#include "rules/printing_rule.h"

#include "frame/program_folder.h"

std::vector<PrintingRule> PrintingRules::Snapshot() const {
  std::lock_guard lock(mutex_);
  return rules_;
}

std::size_t PrintingRules::Count() const {
  std::lock_guard lock(mutex_);
  return rules_.size();
}

std::optional<PrintingRule> PrintingRules::At(std::size_t position) const {
  std::lock_guard lock(mutex_);
  if (position >= rules_.size())
    return std::nullopt;
  return rules_[position];
}

void PrintingRules::Replace(std::vector<PrintingRule> rules) {
  std::lock_guard lock(mutex_);
  rules_.swap(rules);
}

void PrintingRules::Add(PrintingRule rule) {
  std::lock_guard lock(mutex_);
  rules_.push_back(std::move(rule));
}

bool PrintingRules::Update(std::size_t position, PrintingRule rule) {
  std::lock_guard lock(mutex_);
  if (position >= rules_.size())
    return false;
  rules_[position] = std::move(rule);
  return true;
}

bool PrintingRules::Remove(std::size_t position) {
  std::lock_guard lock(mutex_);
  if (position >= rules_.size())
    return false;
  rules_.erase(rules_.begin() + static_cast<std::ptrdiff_t>(position));
  return true;
}

void PrintingRules::Clear() {
  std::lock_guard lock(mutex_);
  rules_.clear();
}

std::optional<PrintingRule> PrintingRules::Select(const std::string &calledAETitle,
                                                  int defaultPosition) const {
  std::lock_guard lock(mutex_);
  if (!calledAETitle.empty()) {
    for (auto rule = rules_.rbegin(); rule != rules_.rend(); ++rule)
      if (rule->AETitle == calledAETitle)
        return *rule;
  }
  if (defaultPosition < 0 || static_cast<std::size_t>(defaultPosition) >= rules_.size())
    return std::nullopt;
  return rules_[static_cast<std::size_t>(defaultPosition)];
}

PrintingRules &ProcessPrintingRules() {
  static PrintingRules rules;
  return rules;
}

std::optional<PrintingRule> SelectRule(const std::string &calledAETitle, int aetIndex) {
  return ProcessPrintingRules().Select(calledAETitle, aetIndex);
}

std::string RulesFilePath() { return ProgramFolder() + "printers.txt"; }
