#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "frame/event_log.h"
#include "rules/printing_rule.h"
#include "support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

PrintingRule Rule(const std::string &aeTitle, const std::string &destination) {
  PrintingRule rule;
  rule.AETitle = aeTitle;
  rule.Destination = destination;
  return rule;
}

TEST(ParseRule, TrimsAndUpperCasesTheAETitleAndReadsTrueSize) {
  PrintingRule rule = ParseRule(" corvanel |PDF|0|TRUE|9|10|10|0|0|0|0");
  EXPECT_EQ(rule.AETitle, "CORVANEL");
  EXPECT_EQ(rule.Destination, "PDF");
  EXPECT_TRUE(rule.TrueSizePrint);
  EXPECT_EQ(rule.GammaIndex, 9);
  EXPECT_EQ(rule.ContrastIndex, 10);
}

TEST(ParseRule, MissingAndInvalidFieldsGiveZero) {
  PrintingRule twoFields = ParseRule("XRAY|Laser 1");
  EXPECT_EQ(twoFields.AETitle, "XRAY");
  EXPECT_EQ(twoFields.Destination, "Laser 1");
  EXPECT_EQ(twoFields.PaperChoice, 0);
  EXPECT_FALSE(twoFields.TrueSizePrint);
  for (int32_t value : {twoFields.GammaIndex, twoFields.ContrastIndex, twoFields.SaturationIndex,
                        twoFields.FilterIndex, twoFields.ColorPrinting, twoFields.BorderColor,
                        twoFields.EmptyImageColor})
    EXPECT_EQ(value, 0);
  EXPECT_EQ(LabelOf(GammaLabels(), twoFields.GammaIndex), "0.10");
  EXPECT_EQ(LabelOf(ContrastLabels(), twoFields.ContrastIndex), "+10");

  PrintingRule odd = ParseRule("A| Laser |x1|true|12a||-3|99999999999|2|1|2");
  EXPECT_EQ(odd.Destination, " Laser ") << "the destination is not trimmed";
  EXPECT_EQ(odd.PaperChoice, 0);
  EXPECT_FALSE(odd.TrueSizePrint) << "\"true\" in lower case is false";
  EXPECT_EQ(odd.GammaIndex, 0);
  EXPECT_EQ(odd.ContrastIndex, 0);
  EXPECT_EQ(odd.SaturationIndex, -3);
  EXPECT_EQ(odd.FilterIndex, 0) << "out of the 32-bit range";
  EXPECT_EQ(odd.EmptyImageColor, 2);

  EXPECT_EQ(ParseRule(""), (PrintingRule{"", "", 0, false, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(FormatRule, WritesTheFileLineAndParsesBack) {
  PrintingRule rule = Rule("CORVANEL", "Laser 1");
  rule.PaperChoice = 1;
  EXPECT_EQ(FormatRule(rule), "CORVANEL|Laser 1|1|FALSE|9|10|10|0|0|0|0");

  PrintingRule other{"CT_1", "My Printer (2)", 8, true, 28, 0, 20, 2, 3, 2, 1};
  EXPECT_EQ(ParseRule(FormatRule(other)), other);
  other.GammaIndex = -1;
  EXPECT_EQ(FormatRule(other), "CT_1|My Printer (2)|8|TRUE|-1|0|20|2|3|2|1");
  EXPECT_EQ(ParseRule(FormatRule(other)), other);
}

TEST(RuleLabels, ListsAndOutOfRangeIndexes) {
  EXPECT_EQ(GammaLabels().size(), 29u);
  EXPECT_EQ(GammaLabels()[9], "1.00");
  EXPECT_EQ(GammaLabels()[28], "2.90");
  EXPECT_EQ(ContrastLabels().size(), 21u);
  EXPECT_EQ(ContrastLabels()[9], "+1");
  EXPECT_EQ(ContrastLabels()[10], "0");
  EXPECT_EQ(ContrastLabels()[20], "-10");
  EXPECT_EQ(LabelOf(GammaLabels(), 29), "");
  EXPECT_EQ(LabelOf(ContrastLabels(), -1), "");
  PrintingRule rule = ParseRule("A|B|0|FALSE|40|-1");
  EXPECT_EQ(RuleGridCells(rule), (std::vector<std::string>{"A", "B", "", ""}));
}

TEST(LoadRules, ReadsEveryLineWithOrWithoutTheLastLineEnd) {
  TempDir dir;
  const std::string path = (dir.path() / "printers.txt").string();
  const std::string lines = "A|JPEG|0|FALSE|9|10|10|0|0|0|0\r\n\r\nB|PDF|1|TRUE|9|10|10|0|0|0|0";
  for (const std::string &content : {lines, lines + "\r\n", "\xEF\xBB\xBF" + lines}) {
    WriteFile(path, content);
    PrintingRules list;
    ASSERT_TRUE(LoadRules(list, path));
    auto rules = list.Snapshot();
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].AETitle, "A");
    EXPECT_EQ(rules[1], (PrintingRule{"", "", 0, false, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rules[2].Destination, "PDF");
    EXPECT_TRUE(rules[2].TrueSizePrint);
  }
}

TEST(LoadRules, ReadsUtf16WithByteOrderMark) {
  TempDir dir;
  const std::string path = (dir.path() / "printers.txt").string();
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("XRAY|PDF|0|TRUE|9|10|10|0|0|0|0\r\n")) {
    utf16 += c;
    utf16 += '\0';
  }
  WriteFile(path, utf16);
  PrintingRules list;
  ASSERT_TRUE(LoadRules(list, path));
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.At(0)->AETitle, "XRAY");
  EXPECT_TRUE(list.At(0)->TrueSizePrint);
}

TEST(LoadRules, OutOfRangeIndexesAreLoadedAsTheyAre) {
  TempDir dir;
  const std::string path = (dir.path() / "printers.txt").string();
  WriteFile(path, "A|JPEG|0|FALSE|29|21|10|0|0|0|0\r\nB|PDF|0|FALSE|-1|-1|10|0|0|0|0\r\n");
  PrintingRules list;
  ASSERT_TRUE(LoadRules(list, path));
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.At(0)->GammaIndex, 29);
  EXPECT_EQ(list.At(1)->ContrastIndex, -1);
  EXPECT_EQ(RuleGridCells(*list.At(0))[2], "");
}

TEST(LoadRules, MissingFileEmptiesTheListAndReturnsFalse) {
  TempDir dir;
  PrintingRules list;
  list.Add(Rule("OLD", "PDF"));
  EXPECT_FALSE(LoadRules(list, (dir.path() / "printers.txt").string()));
  EXPECT_EQ(list.Count(), 0u);
  WriteFile(dir.path() / "printers.txt", "");
  EXPECT_TRUE(LoadRules(list, (dir.path() / "printers.txt").string()));
  EXPECT_EQ(list.Count(), 0u);
}

TEST(SaveRules, EndsEveryLineWithCrLfAndReplacesTheFile) {
  TempDir dir;
  const std::string path = (dir.path() / "printers.txt").string();
  WriteFile(path, "OLD|PDF|0|FALSE|9|10|10|0|0|0|0\r\nOLDER|PDF\r\n");
  PrintingRules list;
  list.Add(Rule("A", "JPEG"));
  list.Add(Rule("B", "Laser 1"));
  ASSERT_TRUE(SaveRules(list, path));
  EXPECT_EQ(ReadFile(path),
            "A|JPEG|0|FALSE|9|10|10|0|0|0|0\r\nB|Laser 1|0|FALSE|9|10|10|0|0|0|0\r\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  PrintingRules reloaded;
  ASSERT_TRUE(LoadRules(reloaded, path));
  EXPECT_EQ(reloaded.Snapshot(), list.Snapshot());
}

TEST(SaveRules, FailureKeepsTheOldFile) {
  TempDir dir;
  const std::string path = (dir.path() / "missing" / "printers.txt").string();
  PrintingRules list;
  list.Add(Rule("A", "JPEG"));
  EXPECT_FALSE(SaveRules(list, path));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(DeleteSelectedRule, GridRowOneIsTheFirstRule) {
  PrintingRules list;
  for (const char *ae : {"A", "B", "C"})
    list.Add(Rule(ae, "PDF"));
  EXPECT_FALSE(DeleteSelectedRule(list, 0)) << "row 0 is the title row";
  EXPECT_FALSE(DeleteSelectedRule(list, 4));
  ASSERT_TRUE(DeleteSelectedRule(list, 1));
  auto rules = list.Snapshot();
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0].AETitle, "B");
  EXPECT_EQ(rules[1].AETitle, "C");
}

TEST(SelectRule, ExactTitleLastMatchOtherwiseDefaultPosition) {
  PrintingRules list;
  list.Add(Rule("DEFAULT", "JPEG"));
  list.Add(Rule("CT", "Laser 1"));
  list.Add(Rule("CT", "Laser 2"));
  struct Case {
    std::string calledAETitle;
    int aetIndex;
    std::optional<std::string> destination;
  } cases[] = {
      {"CT", 0, "Laser 2"}, // two rules with one AE title: the later
      {"ct", 0, "JPEG"},    // case-sensitive: the default rule
      {"CT ", 0, "JPEG"},   // whole text
      {"", 1, "Laser 1"},   // empty title: the default position
      {"XRAY", 2, "Laser 2"}, {"XRAY", -1, std::nullopt}, {"XRAY", 3, std::nullopt},
  };
  for (const Case &c : cases) {
    auto rule = list.Select(c.calledAETitle, c.aetIndex);
    ASSERT_EQ(rule.has_value(), c.destination.has_value()) << c.calledAETitle << c.aetIndex;
    if (rule) {
      EXPECT_EQ(rule->Destination, *c.destination) << c.calledAETitle;
    }
  }
  EXPECT_FALSE(PrintingRules().Select("CT", 0)) << "AETIndex 0 with no rules: none";
}

TEST(SelectRule, ProcessListUsedByTheServer) {
  ProcessPrintingRules().Replace({Rule("CT", "PDF")});
  EXPECT_EQ(SelectRule("CT", -1)->Destination, "PDF");
  ProcessPrintingRules().Clear();
  EXPECT_FALSE(SelectRule("CT", 0));
}

// Workers select while the operator window reloads and edits the list: every
// selection must see a whole rule (run under the sanitizers to catch races).
TEST(PrintingRules, SelectionDuringChangesSeesWholeRules) {
  PrintingRules list;
  list.Add(Rule("CT", std::string(64, 'z')));
  std::atomic<bool> readerDone{false};
  std::thread editor([&] {
    for (int i = 0; !readerDone; ++i) {
      list.Replace({Rule("CT", std::string(64, 'a' + i % 26)), Rule("MR", "PDF")});
      list.Update(0, Rule("CT", std::string(64, 'z')));
      list.Remove(1);
      list.Add(Rule("MR", "JPEG"));
    }
  });
  int torn = 0;
  for (int i = 0; i < 5000; ++i) {
    auto rule = list.Select("CT", 1);
    if (!rule || rule->Destination.size() != 64u ||
        rule->Destination.find_first_not_of(rule->Destination[0]) != std::string::npos)
      ++torn;
  }
  readerDone = true;
  editor.join();
  EXPECT_EQ(torn, 0);
}

} // namespace
