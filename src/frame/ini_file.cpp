#include "frame/ini_file.h"

#include <charconv>
#include <fstream>

#include "frame/atomic_file.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i]))
      return false;
  return true;
}

// The name of a section header line ("[name]"), or nothing for another line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[')
    return std::nullopt;
  line.remove_prefix(1);
  if (const size_t close = line.find(']'); close != std::string_view::npos)
    line = line.substr(0, close);
  return Trim(line);
}

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

// The key and value of a "key=value" line; nothing for comments and other lines.
std::optional<KeyValue> ParseKeyLine(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[')
    return std::nullopt;
  const size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos)
    return std::nullopt;
  KeyValue kv{Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
  if (kv.key.empty())
    return std::nullopt;
  // A value enclosed in one pair of quotes reads without them.
  if (kv.value.size() >= 2 && (kv.value.front() == '"' || kv.value.front() == '\'') &&
      kv.value.back() == kv.value.front())
    kv.value = kv.value.substr(1, kv.value.size() - 2);
  return kv;
}

// A written value stays on its own line.
std::string OneLine(std::string_view value) {
  std::string out(value);
  for (char &c : out)
    if (c == '\n' || c == '\r')
      c = ' ';
  return out;
}
} // namespace

bool IniFile::Load(const std::string &path) {
  lines_.clear();
  crlf_ = false;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > MaxFileSize)
    return false;
  in.seekg(0, std::ios::beg);
  std::string text(static_cast<size_t>(size), '\0');
  if (!in.read(text.data(), size))
    return false;

  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      if (lines_.empty())
        crlf_ = true;
    }
    lines_.push_back(std::move(line));
    start = end + 1;
  }
  return true;
}

std::string IniFile::Text() const {
  std::string text;
  for (const std::string &line : lines_) {
    text += line;
    text += crlf_ ? "\r\n" : "\n";
  }
  return text;
}

bool IniFile::Save(const std::string &path) const {
  const std::string text = Text();
  return WriteFileAtomically(path, reinterpret_cast<const uint8_t *>(text.data()), text.size());
}

std::optional<size_t> IniFile::FindKey(std::string_view section, std::string_view key) const {
  bool inSection = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (const auto name = SectionName(lines_[i])) {
      inSection = EqualNoCase(*name, section);
      continue;
    }
    if (!inSection)
      continue;
    if (const auto kv = ParseKeyLine(lines_[i]); kv && EqualNoCase(kv->key, key))
      return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
  const auto index = FindKey(section, key);
  if (!index)
    return std::nullopt;
  const std::string_view value = ParseKeyLine(lines_[*index])->value;
  return std::string(value.substr(0, MaxValueLength));
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                const std::string &defaultValue) const {
  return Value(section, key).value_or(defaultValue);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t defaultValue) const {
  const auto value = Value(section, key);
  if (!value)
    return defaultValue;
  std::string_view digits = *value;
  if (!digits.empty() && digits.front() == '+')
    digits.remove_prefix(1);
  int32_t number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty())
    return defaultValue;
  return number;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string line(key);
  line += '=';
  line += OneLine(value);
  if (const auto index = FindKey(section, key)) {
    lines_[*index] = line;
    return;
  }
  // Append after the last non-blank line of the first section of that name.
  std::optional<size_t> insertAt;
  bool inSection = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (const auto name = SectionName(lines_[i])) {
      if (insertAt)
        break;
      inSection = EqualNoCase(*name, section);
      if (inSection)
        insertAt = i + 1;
      continue;
    }
    if (inSection && !Trim(lines_[i]).empty())
      insertAt = i + 1;
  }
  if (insertAt) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAt), line);
    return;
  }
  if (!lines_.empty() && !Trim(lines_.back()).empty())
    lines_.emplace_back();
  std::string header = "[";
  header += section;
  header += ']';
  lines_.push_back(std::move(header));
  lines_.push_back(line);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}
