#pragma once
// A small INI file with the semantics of Windows profile files: case-insensitive
// section and key names, the first occurrence of a key wins, values trimmed of
// blanks and cut at 2047 characters. A write replaces the key's line in place or
// appends it to its section (or a new section at the end); every other line,
// comments and unknown keys included, stays as it was.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniFile {
public:
  // Longest value a read returns; longer values are cut.
  static constexpr size_t MaxValueLength = 2047;
  // Larger files are not read (they read as missing).
  static constexpr size_t MaxFileSize = 16 * 1024 * 1024;

  IniFile() = default;

  // Reads path. False when the file is missing, unreadable or too large; the
  // object is then empty and every read gives its default.
  bool Load(const std::string &path);
  // Writes the lines back to path (through a temporary file and a rename).
  bool Save(const std::string &path) const;

  // The value, or nothing when the section or key is missing.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string &defaultValue) const;
  // A decimal 32-bit number (optional sign); anything else gives the default.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
  // True for any integer other than 0; no number gives the default.
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  // Stored as "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // The whole text as it would be saved.
  std::string Text() const;

private:
  std::optional<size_t> FindKey(std::string_view section, std::string_view key) const;
  std::vector<std::string> lines_; // without their line ends
  // Every line ends in CR LF when the file's first line did, else in LF.
  bool crlf_ = false;
};
