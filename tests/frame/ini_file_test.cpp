#include "frame/ini_file.h"

#include <gtest/gtest.h>

#include <random>

#include "support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {
IniFile FromText(const TempDir &dir, const std::string &text) {
  const auto path = dir.path() / "test.ini";
  WriteFile(path, text);
  IniFile ini;
  EXPECT_TRUE(ini.Load(path.string()));
  return ini;
}
} // namespace

TEST(IniFile, ProfileSemanticsOfReads) {
  TempDir dir;
  const IniFile ini = FromText(dir,
                               "Orphan=before any section\n"
                               "[corvanel]\n"
                               "  port = 105  \n"
                               "; Port=999 is a comment\n"
                               "Port=106\n" // duplicate: the first one wins
                               "Quoted=\"  two blanks\"\n"
                               "Empty=\n"
                               "no equals sign here\n"
                               "=no key\n"
                               "[ PACS ]\n"
                               "AET=ARCHIVE\n"
                               "[CORVANEL]\n"
                               "Later=in a second section of the same name\n");
  EXPECT_EQ(ini.ReadString("CORVANEL", "Port", "104"), "105");
  EXPECT_EQ(ini.ReadString("Corvanel", "PORT", "104"), "105");
  EXPECT_EQ(ini.ReadString("CORVANEL", "Quoted", ""), "  two blanks");
  EXPECT_EQ(ini.Value("CORVANEL", "Empty"), std::optional<std::string>(""));
  EXPECT_EQ(ini.Value("CORVANEL", "Missing"), std::nullopt);
  EXPECT_EQ(ini.Value("CORVANEL", "Orphan"), std::nullopt);
  EXPECT_EQ(ini.ReadString("pacs", "aet", ""), "ARCHIVE");
  EXPECT_EQ(ini.ReadString("CORVANEL", "Later", ""), "in a second section of the same name");
  EXPECT_EQ(ini.ReadString("NOSECTION", "Port", "104"), "104");
}

TEST(IniFile, NumbersAndBooleans) {
  struct Case {
    const char *value;
    int32_t integer; // read with default 42
    bool boolean;    // read with default true
  };
  const Case cases[] = {
      {"7", 7, true},
      {"-1", -1, true},
      {"+3", 3, true},
      {" 12 ", 12, true},
      {"0", 0, false},
      {"12abc", 42, true},
      {"abc", 42, true},
      {"", 42, true},
      {"2147483647", 2147483647, true},
      {"2147483648", 42, true},
      {"-2147483649", 42, true},
      {"0x10", 42, true},
      {"1.5", 42, true},
      {"--1", 42, true},
  };
  TempDir dir;
  for (const Case &c : cases) {
    const IniFile ini = FromText(dir, std::string("[S]\nK=") + c.value + "\n");
    EXPECT_EQ(ini.ReadInteger("S", "K", 42), c.integer) << c.value;
    EXPECT_EQ(ini.ReadBool("S", "K", true), c.boolean) << c.value;
  }
}

TEST(IniFile, BadInputReadsAsDefaults) {
  TempDir dir;
  std::string binary = "[CORVANEL]\n";
  binary += std::string("\x00\xff\xfe\x01\x7f=\x80\x00", 8) + "\n";
  binary += "LogLevel=" +
            std::string("1\x00"
                        "2",
                        3) +
            "\n";
  binary += "Header=" + std::string(5000, 'h') + "\n";
  binary += std::string(100000, '[') + "\n";
  binary += "Port=105\n"; // after the garbage line a new (unnamed) section began
  binary += "[CORVANEL\n";
  binary += "Footer=unterminated section header still names the section\n";
  const IniFile ini = FromText(dir, binary);
  EXPECT_EQ(ini.ReadInteger("CORVANEL", "LogLevel", 0), 0);
  EXPECT_EQ(ini.ReadString("CORVANEL", "Header", "").size(), IniFile::MaxValueLength);
  EXPECT_EQ(ini.ReadString("CORVANEL", "Port", "104"), "104");
  EXPECT_EQ(ini.ReadString("CORVANEL", "Footer", ""),
            "unterminated section header still names the section");
}

TEST(IniFile, RandomBytesNeverBreakTheReader) {
  TempDir dir;
  std::mt19937 random(20241210);
  const std::string alphabet = "[]=;\n\r \t\"'abcKk0123-+\x00\xff";
  for (int round = 0; round < 200; ++round) {
    std::string text(random() % 400, ' ');
    for (char &c : text)
      c = random() % 4 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    IniFile ini = FromText(dir, text);
    ini.ReadString("a", "k", "");
    ini.ReadInteger("A", "K", 0);
    ini.WriteString("a", "k", "v");
    EXPECT_EQ(ini.ReadString("A", "K", ""), "v");
  }
}

TEST(IniFile, MissingFileIsEmpty) {
  TempDir dir;
  IniFile ini;
  EXPECT_FALSE(ini.Load((dir.path() / "none.ini").string()));
  EXPECT_EQ(ini.ReadInteger("S", "K", 5), 5);
  EXPECT_EQ(ini.Text(), "");
  // A folder in the file's place reads as empty too.
  ini.Load(dir.path().string());
  EXPECT_EQ(ini.ReadInteger("S", "K", 5), 5);
}

TEST(IniFile, WritesReplaceInPlaceOrAppendAndKeepEverythingElse) {
  TempDir dir;
  IniFile ini = FromText(dir, "; settings\n"
                              "[CORVANEL]\n"
                              "port=104\n"
                              "Custom=kept\n"
                              "\n"
                              "[OTHER]\n"
                              "X=1\n");
  ini.WriteString("CORVANEL", "Port", "11112");
  ini.WriteString("corvanel", "Header", "two\r\nlines");
  ini.WriteInteger("PAPER", "DEFAULT", 2);
  ini.WriteBool("OTHER", "Flag", true);
  EXPECT_EQ(ini.Text(), "; settings\n"
                        "[CORVANEL]\n"
                        "Port=11112\n"
                        "Custom=kept\n"
                        "Header=two  lines\n"
                        "\n"
                        "[OTHER]\n"
                        "X=1\n"
                        "Flag=1\n"
                        "\n"
                        "[PAPER]\n"
                        "DEFAULT=2\n");
}

TEST(IniFile, SaveKeepsCrLfAndWritesTheWholeFile) {
  TempDir dir;
  const auto path = dir.path() / "crlf.ini";
  WriteFile(path, "[CORVANEL]\r\nPort=104\r\n");
  IniFile ini;
  ASSERT_TRUE(ini.Load(path.string()));
  EXPECT_EQ(ini.ReadString("CORVANEL", "Port", ""), "104");
  ini.WriteString("CORVANEL", "LogLevel", "1");
  ASSERT_TRUE(ini.Save(path.string()));
  EXPECT_EQ(ReadFile(path), "[CORVANEL]\r\nPort=104\r\nLogLevel=1\r\n");
  EXPECT_FALSE(ini.Save((dir.path() / "missing folder" / "x.ini").string()));
}
